// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_util/node_thread.hpp"

namespace orvik_communicator {

/// Telemetry poses of the planners. Nothing is sent over ROS here: poses go to the registered
/// listeners, and the last ones are kept for inspection. The instance is process-wide and lives
/// as long as the process, so what it keeps is bounded: a robot that plans for weeks must not
/// grow. Thread-safe: planners on several threads may publish and read at once.
class MicroUnitTrace {
 public:
  /// How many turn-around poses dirPoses keeps: the most recent ones, older ones are dropped.
  /// Enough for every turn-around of many requests (a request publishes at most one).
  static constexpr std::size_t kDirPoseHistory = 256;

  using EndPoseListener = std::function<void(const geometry_msgs::msg::PoseStamped& start,
                                             const geometry_msgs::msg::PoseStamped& goal)>;
  using DirPoseListener = std::function<void(const geometry_msgs::msg::PoseStamped& pose)>;

  void PublishLocalEndPose(const geometry_msgs::msg::PoseStamped& start,
                           const geometry_msgs::msg::PoseStamped& goal);
  void PublishDirPose(const geometry_msgs::msg::PoseStamped& pose);

  /// Listeners are called on the publishing thread; the returned id removes them again.
  int addEndPoseListener(EndPoseListener listener);
  int addDirPoseListener(DirPoseListener listener);
  void removeListener(int id);

  /// Start and goal of the last PublishLocalEndPose, and how many there have been.
  std::pair<geometry_msgs::msg::PoseStamped, geometry_msgs::msg::PoseStamped> lastLocalEndPose()
      const;
  std::size_t localEndPoseCount() const;
  /// The last kDirPoseHistory poses of PublishDirPose since the last clear, oldest first.
  std::vector<geometry_msgs::msg::PoseStamped> dirPoses() const;
  /// How many PublishDirPose calls there have been since the last clear, dropped ones included.
  std::size_t dirPoseCount() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  int next_id_{1};
  std::vector<std::pair<int, EndPoseListener>> end_listeners_;
  std::vector<std::pair<int, DirPoseListener>> dir_listeners_;
  std::pair<geometry_msgs::msg::PoseStamped, geometry_msgs::msg::PoseStamped> last_end_;
  std::size_t end_count_{0};
  std::deque<geometry_msgs::msg::PoseStamped> dir_poses_;
  std::size_t dir_count_{0};
};

/// Process-wide communicator. GetInstance is header code so that every library that calls it
/// binds to the one exported static.
class __attribute__((visibility("default"))) CommunicatorEngine {
 public:
  CommunicatorEngine();
  ~CommunicatorEngine();

  static std::shared_ptr<CommunicatorEngine> GetInstance() {
    static std::shared_ptr<CommunicatorEngine> publish_topic_ptr =
        std::make_shared<CommunicatorEngine>();
    return publish_topic_ptr;
  }

  std::shared_ptr<MicroUnitTrace> getMicroUnitTrace() const;

 private:
  nav2_util::NodeThread node_thread_;
  std::shared_ptr<MicroUnitTrace> micro_unit_trace_;
};

}  // namespace orvik_communicator
