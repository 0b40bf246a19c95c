// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_tools/communicator_engine.hpp"

#include <algorithm>

namespace orvik_communicator {

void MicroUnitTrace::PublishLocalEndPose(const geometry_msgs::msg::PoseStamped& start,
                                         const geometry_msgs::msg::PoseStamped& goal) {
  std::vector<std::pair<int, EndPoseListener>> listeners;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_end_ = {start, goal};
    ++end_count_;
    listeners = end_listeners_;
  }
  for (const auto& entry : listeners) {
    entry.second(start, goal);
  }
}

void MicroUnitTrace::PublishDirPose(const geometry_msgs::msg::PoseStamped& pose) {
  std::vector<std::pair<int, DirPoseListener>> listeners;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dir_poses_.push_back(pose);
    if (dir_poses_.size() > kDirPoseHistory) {
      dir_poses_.pop_front();
    }
    ++dir_count_;
    listeners = dir_listeners_;
  }
  for (const auto& entry : listeners) {
    entry.second(pose);
  }
}

int MicroUnitTrace::addEndPoseListener(EndPoseListener listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  end_listeners_.emplace_back(next_id_, std::move(listener));
  return next_id_++;
}

int MicroUnitTrace::addDirPoseListener(DirPoseListener listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  dir_listeners_.emplace_back(next_id_, std::move(listener));
  return next_id_++;
}

void MicroUnitTrace::removeListener(int id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto has_id = [id](const auto& entry) { return entry.first == id; };
  end_listeners_.erase(std::remove_if(end_listeners_.begin(), end_listeners_.end(), has_id),
                       end_listeners_.end());
  dir_listeners_.erase(std::remove_if(dir_listeners_.begin(), dir_listeners_.end(), has_id),
                       dir_listeners_.end());
}

std::pair<geometry_msgs::msg::PoseStamped, geometry_msgs::msg::PoseStamped>
MicroUnitTrace::lastLocalEndPose() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_end_;
}

std::size_t MicroUnitTrace::localEndPoseCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return end_count_;
}

std::vector<geometry_msgs::msg::PoseStamped> MicroUnitTrace::dirPoses() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {dir_poses_.begin(), dir_poses_.end()};
}

std::size_t MicroUnitTrace::dirPoseCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dir_count_;
}

void MicroUnitTrace::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  dir_poses_.clear();
  dir_count_ = 0;
  end_count_ = 0;
  last_end_ = {};
}

CommunicatorEngine::CommunicatorEngine() : micro_unit_trace_(std::make_shared<MicroUnitTrace>()) {}

CommunicatorEngine::~CommunicatorEngine() = default;

std::shared_ptr<MicroUnitTrace> CommunicatorEngine::getMicroUnitTrace() const {
  return micro_unit_trace_;
}

}  // namespace orvik_communicator
