// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

namespace class_loader {

class ClassLoader;

namespace impl {

using ErasedFactory = std::function<void*()>;

/// Records a factory under the derived class's name for the base class's type. Called by the
/// static objects that CLASS_LOADER_REGISTER_CLASS leaves in a plugin library, when the
/// library is loaded.
void registerErasedFactory(const std::string& base_type_name, const std::string& class_name,
                           ErasedFactory factory);
/// The factory registered under that name for that base, or an empty function.
ErasedFactory findErasedFactory(const std::string& base_type_name, const std::string& class_name);
std::vector<std::string> registeredClassNames(const std::string& base_type_name);

template <typename Derived, typename Base>
void registerPlugin(const std::string& class_name, const std::string& /*base_class_name*/) {
  registerErasedFactory(typeid(Base).name(), class_name,
                        []() -> void* { return static_cast<Base*>(new Derived()); });
}

/// A new instance of the class registered as `derived_class_name` for `Base`; null when no
/// loaded library registered one. The caller owns it.
template <typename Base>
Base* createInstance(const std::string& derived_class_name, ClassLoader* /*loader*/) {
  const ErasedFactory factory = findErasedFactory(typeid(Base).name(), derived_class_name);
  return factory ? static_cast<Base*>(factory()) : nullptr;
}

template <typename Base>
std::vector<std::string> getAvailableClasses(ClassLoader* /*loader*/) {
  return registeredClassNames(typeid(Base).name());
}

}  // namespace impl
}  // namespace class_loader
