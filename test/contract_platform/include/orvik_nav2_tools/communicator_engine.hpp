// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

#include "geometry_msgs/msg/pose_stamped.hpp"

namespace orvik_communicator {

/// Test stand-in for the maker's telemetry publisher; publishes nowhere.
class MicroUnitTrace {
 public:
  void PublishLocalEndPose(const geometry_msgs::msg::PoseStamped& start,
                           const geometry_msgs::msg::PoseStamped& goal);
  void PublishDirPose(const geometry_msgs::msg::PoseStamped& pose);
};

/// Test stand-in for the maker's process-wide communicator.
class __attribute__((visibility("default"))) CommunicatorEngine {
 public:
  CommunicatorEngine();

  static std::shared_ptr<CommunicatorEngine> GetInstance() {
    static std::shared_ptr<CommunicatorEngine> publish_topic_ptr =
        std::make_shared<CommunicatorEngine>();
    return publish_topic_ptr;
  }

  std::shared_ptr<MicroUnitTrace> getMicroUnitTrace() const;

 private:
  std::shared_ptr<MicroUnitTrace> micro_unit_trace_;
};

}  // namespace orvik_communicator
