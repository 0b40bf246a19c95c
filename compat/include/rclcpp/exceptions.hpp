// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "rclcpp/exceptions/exceptions.hpp"
