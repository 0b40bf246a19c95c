// SPDX-License-Identifier: Apache-2.0
#include "class_loader/class_loader_core.hpp"

#include <map>
#include <mutex>
#include <utility>

namespace class_loader::impl {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, std::map<std::string, ErasedFactory>> factories_by_base;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

}  // namespace

void registerErasedFactory(const std::string& base_type_name, const std::string& class_name,
                           ErasedFactory factory) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.factories_by_base[base_type_name][class_name] = std::move(factory);
}

ErasedFactory findErasedFactory(const std::string& base_type_name, const std::string& class_name) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto base = r.factories_by_base.find(base_type_name);
  if (base == r.factories_by_base.end()) {
    return {};
  }
  const auto entry = base->second.find(class_name);
  return entry == base->second.end() ? ErasedFactory{} : entry->second;
}

std::vector<std::string> registeredClassNames(const std::string& base_type_name) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::vector<std::string> names;
  const auto base = r.factories_by_base.find(base_type_name);
  if (base != r.factories_by_base.end()) {
    for (const auto& entry : base->second) {
      names.push_back(entry.first);
    }
  }
  return names;
}

}  // namespace class_loader::impl
