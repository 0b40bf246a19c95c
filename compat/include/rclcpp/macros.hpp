// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <utility>

#define RCLCPP_SMART_PTR_DEFINITIONS(...)                                              \
  using SharedPtr = std::shared_ptr<__VA_ARGS__>;                                      \
  using ConstSharedPtr = std::shared_ptr<const __VA_ARGS__>;                           \
  using WeakPtr = std::weak_ptr<__VA_ARGS__>;                                          \
  using ConstWeakPtr = std::weak_ptr<const __VA_ARGS__>;                               \
  using UniquePtr = std::unique_ptr<__VA_ARGS__>;                                      \
  template <typename... Args>                                                          \
  static std::shared_ptr<__VA_ARGS__> make_shared(Args&&... args) {                    \
    return std::make_shared<__VA_ARGS__>(std::forward<Args>(args)...);                 \
  }                                                                                    \
  template <typename... Args>                                                          \
  static std::unique_ptr<__VA_ARGS__> make_unique(Args&&... args) {                    \
    return std::unique_ptr<__VA_ARGS__>(new __VA_ARGS__(std::forward<Args>(args)...)); \
  }
