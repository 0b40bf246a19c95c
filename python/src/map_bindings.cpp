// SPDX-License-Identifier: Apache-2.0
#include <cmath>

#include "conversions.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"

namespace orvik_python {

namespace {

double finiteNumber(const py::handle& value, const std::string& key) {
  if (py::isinstance<py::bool_>(value) ||
      !(py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value))) {
    throw py::type_error("grid configuration key '" + key + "' must be a number");
  }
  const double number = value.cast<double>();
  if (!std::isfinite(number)) {
    throw py::value_error("grid configuration key '" + key + "' must be finite");
  }
  return number;
}

bool boolean(const py::handle& value, const std::string& key) {
  if (!py::isinstance<py::bool_>(value)) {
    throw py::type_error("grid configuration key '" + key + "' must be a bool");
  }
  return value.cast<bool>();
}

py::sequence sequence(const py::handle& value, const std::string& key) {
  if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value)) {
    throw py::type_error("grid configuration key '" + key + "' must be a list");
  }
  return py::reinterpret_borrow<py::sequence>(value);
}

orvik_nav2_gridmap::InflationConfig inflationFromDict(const py::handle& value) {
  if (!py::isinstance<py::dict>(value)) {
    throw py::type_error("grid configuration key 'inflation' must be a dict");
  }
  orvik_nav2_gridmap::InflationConfig inflation;
  for (const auto& item : value.cast<py::dict>()) {
    const std::string key = py::str(item.first);
    const std::string path = "inflation." + key;
    if (key == "enabled") {
      inflation.enabled = boolean(item.second, path);
    } else if (key == "inscribed_radius") {
      inflation.inscribed_radius = finiteNumber(item.second, path);
    } else if (key == "inflation_radius") {
      inflation.inflation_radius = finiteNumber(item.second, path);
    } else if (key == "cost_scaling_factor") {
      inflation.cost_scaling_factor = finiteNumber(item.second, path);
    } else {
      throw py::value_error("unknown grid configuration key '" + path + "'");
    }
  }
  return inflation;
}

/// The grid configuration from a dict with the keys of the YAML file, or from that file.
orvik_nav2_gridmap::GridMapConfig gridConfigFrom(const py::object& value) {
  if (value.is_none()) {
    return {};
  }
  if (py::isinstance<py::str>(value) || py::hasattr(value, "__fspath__")) {
    const std::string path = py::str(py::module_::import("os").attr("fspath")(value));
    try {
      return orvik_nav2_gridmap::loadGridMapConfig(path);
    } catch (const orvik_nav2_gridmap::MapLoadError& e) {
      throw py::value_error(e.what());
    }
  }
  if (!py::isinstance<py::dict>(value)) {
    throw py::type_error("grid_config must be a dict, a YAML file name or None");
  }
  orvik_nav2_gridmap::GridMapConfig config;
  for (const auto& item : value.cast<py::dict>()) {
    const std::string key = py::str(item.first);
    if (key == "global_frame") {
      if (!py::isinstance<py::str>(item.second)) {
        throw py::type_error("grid configuration key 'global_frame' must be a str");
      }
      config.global_frame = item.second.cast<std::string>();
    } else if (key == "footprint") {
      for (const auto& corner : sequence(item.second, key)) {
        const py::sequence pair = sequence(corner, key);
        if (pair.size() != 2) {
          throw py::value_error("grid configuration key 'footprint' needs [x, y] pairs");
        }
        geometry_msgs::msg::Point point;
        point.x = finiteNumber(pair[0], key);
        point.y = finiteNumber(pair[1], key);
        config.footprint.push_back(point);
      }
    } else if (key == "robot_radius") {
      config.robot_radius = finiteNumber(item.second, key);
    } else if (key == "danger_clearances") {
      config.danger_clearances.clear();
      for (const auto& clearance : sequence(item.second, key)) {
        config.danger_clearances.push_back(finiteNumber(clearance, key));
      }
    } else if (key == "unknown_is_obstacle") {
      config.unknown_is_obstacle = boolean(item.second, key);
    } else if (key == "inflation") {
      config.inflation = inflationFromDict(item.second);
    } else {
      throw py::value_error("unknown grid configuration key '" + key + "'");
    }
  }
  return config;
}

std::string pathOf(const py::object& value) {
  if (value.is_none()) {
    return "";
  }
  return py::str(py::module_::import("os").attr("fspath")(value));
}

template <typename T>
std::vector<T> layerFrom(const py::object& value, unsigned int size_x, unsigned int size_y,
                         const std::string& what) {
  if (value.is_none()) {
    return {};
  }
  const auto array = py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(value);
  if (!array || array.ndim() != 2 || array.shape(0) != static_cast<py::ssize_t>(size_y) ||
      array.shape(1) != static_cast<py::ssize_t>(size_x)) {
    throw py::value_error(what + " must be an array of the costmap's shape");
  }
  return std::vector<T>(array.data(), array.data() + array.size());
}

GridMap fromYaml(const py::object& map_yaml, const py::object& grid_config,
                 const py::object& labels, const py::object& extra_cost) {
  const auto config = gridConfigFrom(grid_config);
  try {
    return GridMap{orvik_nav2_gridmap::loadRosMap(pathOf(map_yaml), config, pathOf(labels),
                                                  pathOf(extra_cost))};
  } catch (const orvik_nav2_gridmap::MapLoadError& e) {
    throw py::value_error(e.what());
  }
}

GridMap fromCostmap(const py::array& costmap, double resolution, const py::object& origin,
                    const py::object& grid_config, const py::object& labels,
                    const py::object& extra_cost) {
  if (costmap.dtype().kind() != 'u' || costmap.dtype().itemsize() != 1) {
    throw py::type_error("costmap must be a uint8 array");
  }
  if (costmap.ndim() != 2 || costmap.shape(0) == 0 || costmap.shape(1) == 0) {
    throw py::value_error("costmap must be a non-empty 2-D array (rows = cell y)");
  }
  if (!std::isfinite(resolution) || resolution <= 0.0) {
    throw py::value_error("resolution must be a positive finite number");
  }
  const auto origin_pose = poseFromPython(origin, "origin", "");
  const auto cells =
      py::array_t<uint8_t, py::array::c_style | py::array::forcecast>::ensure(costmap);
  const auto size_y = static_cast<unsigned int>(cells.shape(0));
  const auto size_x = static_cast<unsigned int>(cells.shape(1));
  nav2_costmap_2d::Costmap2D master(size_x, size_y, resolution, origin_pose.pose.position.x,
                                    origin_pose.pose.position.y, 0);
  std::copy(cells.data(), cells.data() + cells.size(), master.getCharMap());
  const auto config = gridConfigFrom(grid_config);
  try {
    return GridMap{std::make_shared<orvik_nav2_gridmap::GridMapROS>(
        master, config, layerFrom<int>(labels, size_x, size_y, "labels"),
        layerFrom<uint8_t>(extra_cost, size_x, size_y, "extra_cost"))};
  } catch (const std::invalid_argument& e) {
    throw py::value_error(e.what());
  }
}

template <typename T, typename Cell>
py::array_t<T> layer(const GridMap& self, Cell cell) {
  const auto grid = self.map->getMultiGridMap();
  const auto costmap = grid->getCostmap();
  const auto size_x = costmap->getSizeInCellsX();
  const auto size_y = costmap->getSizeInCellsY();
  py::array_t<T> array({static_cast<py::ssize_t>(size_y), static_cast<py::ssize_t>(size_x)});
  T* out = array.mutable_data();
  {
    py::gil_scoped_release release;
    for (unsigned int y = 0; y < size_y; ++y) {
      for (unsigned int x = 0; x < size_x; ++x) {
        out[static_cast<std::size_t>(y) * size_x + x] = cell(*grid, x, y);
      }
    }
  }
  return array;
}

}  // namespace

void bindMap(py::module_& m) {
  py::class_<GridMap>(m, "GridMap", R"doc(
A grid map: the master costmap and the layers the planners read (obstacle distance, danger,
priority passages). Arrays are indexed [y, x]: row 0 is the cell row at the map's origin, the
lowest in the world (draw with origin="lower").)doc")
      .def(py::init(&fromCostmap), py::arg("costmap"), py::arg("resolution"),
           py::arg("origin") = py::make_tuple(0.0, 0.0), py::arg("grid_config") = py::none(),
           py::arg("labels") = py::none(), py::arg("extra_cost") = py::none(),
           "A map from a uint8 costmap (0 free .. 253, 254 lethal, 255 unknown), metres per cell "
           "and the world position (x, y) of the corner of cell (0, 0).")
      .def_static("from_yaml", &fromYaml, py::arg("map_yaml"), py::arg("grid_config") = py::none(),
                  py::arg("labels") = py::none(), py::arg("extra_cost") = py::none(),
                  "A map from a ROS map_server YAML; grid_config is a dict with the keys of the "
                  "grid configuration YAML, or that file's name.")
      .def_property_readonly(
          "size",
          [](const GridMap& self) {
            const auto c = self.map->getMultiGridMap()->getCostmap();
            return py::make_tuple(c->getSizeInCellsX(), c->getSizeInCellsY());
          },
          "(size_x, size_y) in cells.")
      .def_property_readonly("resolution",
                             [](const GridMap& self) {
                               return self.map->getMultiGridMap()->getCostmap()->getResolution();
                             })
      .def_property_readonly("origin",
                             [](const GridMap& self) {
                               const auto c = self.map->getMultiGridMap()->getCostmap();
                               return py::make_tuple(c->getOriginX(), c->getOriginY());
                             })
      .def_property_readonly("frame",
                             [](const GridMap& self) { return self.map->getGlobalFrame(); })
      .def_property_readonly(
          "extent",
          [](const GridMap& self) {
            const auto c = self.map->getMultiGridMap()->getCostmap();
            return py::make_tuple(
                c->getOriginX(), c->getOriginX() + c->getSizeInCellsX() * c->getResolution(),
                c->getOriginY(), c->getOriginY() + c->getSizeInCellsY() * c->getResolution());
          },
          "(left, right, bottom, top) in metres, as matplotlib's extent.")
      .def(
          "world_to_cell",
          [](const GridMap& self, double x, double y) -> py::object {
            unsigned int cx = 0;
            unsigned int cy = 0;
            if (!self.map->getMultiGridMap()->getCostmap()->worldToMap(x, y, cx, cy)) {
              return py::none();
            }
            return py::make_tuple(cx, cy);
          },
          py::arg("x"), py::arg("y"), "The cell (x, y) under a world point; None off the map.")
      .def(
          "cell_to_world",
          [](const GridMap& self, long long cx, long long cy) {
            const auto c = self.map->getMultiGridMap()->getCostmap();
            if (cx < 0 || cy < 0 || cx >= c->getSizeInCellsX() || cy >= c->getSizeInCellsY()) {
              throw py::index_error("cell (" + std::to_string(cx) + ", " + std::to_string(cy) +
                                    ") is off the map");
            }
            double x = 0.0;
            double y = 0.0;
            c->mapToWorld(static_cast<unsigned int>(cx), static_cast<unsigned int>(cy), x, y);
            return py::make_tuple(x, y);
          },
          py::arg("cx"), py::arg("cy"), "World position of a cell's centre.")
      .def(
          "costs",
          [](const GridMap& self, bool cost_flag) {
            return layer<uint32_t>(self, [cost_flag](const auto& grid, unsigned x, unsigned y) {
              return grid.getCost(x, y, cost_flag);
            });
          },
          py::arg("cost_flag") = false,
          "Cell costs as the planners read them (with cost_flag, plus the extra cost layer).")
      .def(
          "distances",
          [](const GridMap& self) {
            return layer<double>(self, [](const auto& grid, unsigned x, unsigned y) {
              return grid.getDistance(x, y);
            });
          },
          "Distance from each cell to the nearest obstacle, metres.")
      .def(
          "danger",
          [](const GridMap& self, int level) {
            return layer<bool>(self, [level](const auto& grid, unsigned x, unsigned y) {
              return grid.inDanger(x, y, level);
            });
          },
          py::arg("level") = 0, "True where a cell must not be used at that danger level.")
      .def(
          "passage_labels",
          [](const GridMap& self) {
            return layer<int32_t>(self, [](const auto& grid, unsigned x, unsigned y) {
              return grid.getPriorityPassageLabel(x, y);
            });
          },
          "Priority passage label of each cell (0 = none).");
}

}  // namespace orvik_python
