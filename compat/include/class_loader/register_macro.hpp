// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "class_loader/class_loader_core.hpp"

#define CLASS_LOADER_REGISTER_CLASS_INTERNAL_WITH_MESSAGE(Derived, Base, UniqueID)                \
  namespace {                                                                                     \
  struct ProxyExec##UniqueID {                                                                    \
    ProxyExec##UniqueID() { class_loader::impl::registerPlugin<Derived, Base>(#Derived, #Base); } \
  };                                                                                              \
  static ProxyExec##UniqueID g_register_plugin_##UniqueID;                                        \
  }  // namespace

#define CLASS_LOADER_REGISTER_CLASS_INTERNAL_HOP1_WITH_MESSAGE(Derived, Base, UniqueID) \
  CLASS_LOADER_REGISTER_CLASS_INTERNAL_WITH_MESSAGE(Derived, Base, UniqueID)

/// Registers Derived as a plugin of Base under the literal text of `Derived`.
#define CLASS_LOADER_REGISTER_CLASS(Derived, Base) \
  CLASS_LOADER_REGISTER_CLASS_INTERNAL_HOP1_WITH_MESSAGE(Derived, Base, __COUNTER__)
