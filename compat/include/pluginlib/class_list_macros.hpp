// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "class_loader/register_macro.hpp"

#define PLUGINLIB_EXPORT_CLASS(class_type, base_class_type) \
  CLASS_LOADER_REGISTER_CLASS(class_type, base_class_type)
