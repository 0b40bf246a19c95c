// SPDX-License-Identifier: Apache-2.0
#include "conversions.hpp"

namespace orvik_python {
void bindMap(py::module_& m);
void bindPlanners(py::module_& m);
void bindSmoothers(py::module_& m);
void bindLogging(py::module_& m);
void drainLogLines();
}  // namespace orvik_python

PYBIND11_MODULE(_orvik, m) {
  namespace py = pybind11;
  m.doc() = "Bindings of the orvik planner libraries; import the orvik package instead.";
  orvik_python::bindMap(m);
  orvik_python::bindPlanners(m);
  orvik_python::bindSmoothers(m);
  orvik_python::bindLogging(m);
  m.def("_drain_log_lines", &orvik_python::drainLogLines);
}
