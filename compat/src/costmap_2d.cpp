// SPDX-License-Identifier: Apache-2.0
#include "nav2_costmap_2d/costmap_2d.hpp"

#include <cmath>
#include <cstring>

#include "nav2_costmap_2d/cost_values.hpp"

namespace nav2_costmap_2d {

Costmap2D::Costmap2D(unsigned int cells_size_x, unsigned int cells_size_y, double resolution,
                     double origin_x, double origin_y, unsigned char default_value)
    : size_x_(cells_size_x),
      size_y_(cells_size_y),
      resolution_(resolution),
      origin_x_(origin_x),
      origin_y_(origin_y),
      costmap_(nullptr),
      default_value_(default_value) {
  access_ = new mutex_t();
  initMaps(size_x_, size_y_);
  std::memset(costmap_, default_value_, static_cast<std::size_t>(size_x_) * size_y_);
}

Costmap2D::Costmap2D(const Costmap2D& map) : costmap_(nullptr) {
  access_ = new mutex_t();
  *this = map;
}

Costmap2D::Costmap2D(const nav_msgs::msg::OccupancyGrid& map) : default_value_(FREE_SPACE) {
  access_ = new mutex_t();
  size_x_ = map.info.width;
  size_y_ = map.info.height;
  resolution_ = map.info.resolution;
  origin_x_ = map.info.origin.position.x;
  origin_y_ = map.info.origin.position.y;
  costmap_ = new unsigned char[static_cast<std::size_t>(size_x_) * size_y_];
  const std::size_t cells = static_cast<std::size_t>(size_x_) * size_y_;
  for (std::size_t i = 0; i < cells && i < map.data.size(); ++i) {
    const int8_t data = map.data[i];
    if (data == -1) {
      costmap_[i] = NO_INFORMATION;
    } else {
      costmap_[i] = static_cast<unsigned char>(std::round(static_cast<double>(data) * 254 / 100.0));
    }
  }
  for (std::size_t i = map.data.size(); i < cells; ++i) {
    costmap_[i] = NO_INFORMATION;
  }
}

Costmap2D::Costmap2D()
    : size_x_(0),
      size_y_(0),
      resolution_(0.0),
      origin_x_(0.0),
      origin_y_(0.0),
      costmap_(nullptr),
      default_value_(0) {
  access_ = new mutex_t();
}

Costmap2D& Costmap2D::operator=(const Costmap2D& map) {
  if (this == &map) {
    return *this;
  }
  deleteMaps();
  size_x_ = map.size_x_;
  size_y_ = map.size_y_;
  resolution_ = map.resolution_;
  origin_x_ = map.origin_x_;
  origin_y_ = map.origin_y_;
  initMaps(size_x_, size_y_);
  // A default-constructed source has no array; memcpy from null is undefined even for 0 bytes.
  if (map.costmap_ != nullptr) {
    std::memcpy(costmap_, map.costmap_, static_cast<std::size_t>(size_x_) * size_y_);
  }
  return *this;
}

Costmap2D::~Costmap2D() {
  deleteMaps();
  delete access_;
}

void Costmap2D::initMaps(unsigned int size_x, unsigned int size_y) {
  std::unique_lock<mutex_t> lock(*access_);
  delete[] costmap_;
  costmap_ = new unsigned char[static_cast<std::size_t>(size_x) * size_y];
}

void Costmap2D::deleteMaps() {
  std::unique_lock<mutex_t> lock(*access_);
  delete[] costmap_;
  costmap_ = nullptr;
}

void Costmap2D::resizeMap(unsigned int size_x, unsigned int size_y, double resolution,
                          double origin_x, double origin_y) {
  size_x_ = size_x;
  size_y_ = size_y;
  resolution_ = resolution;
  origin_x_ = origin_x;
  origin_y_ = origin_y;
  initMaps(size_x, size_y);
  std::memset(costmap_, default_value_, static_cast<std::size_t>(size_x_) * size_y_);
}

unsigned char Costmap2D::getCost(unsigned int mx, unsigned int my) const {
  return costmap_[getIndex(mx, my)];
}

unsigned char Costmap2D::getCost(unsigned int undex) const {
  return costmap_[undex];
}

void Costmap2D::setCost(unsigned int mx, unsigned int my, unsigned char cost) {
  costmap_[getIndex(mx, my)] = cost;
}

void Costmap2D::mapToWorld(unsigned int mx, unsigned int my, double& wx, double& wy) const {
  wx = origin_x_ + (mx + 0.5) * resolution_;
  wy = origin_y_ + (my + 0.5) * resolution_;
}

bool Costmap2D::worldToMap(double wx, double wy, unsigned int& mx, unsigned int& my) const {
  if (wx < origin_x_ || wy < origin_y_) {
    return false;
  }
  const double fx = (wx - origin_x_) / resolution_;
  const double fy = (wy - origin_y_) / resolution_;
  // Converting NaN, infinity or anything past 2^32 to unsigned is undefined; upstream lets it
  // through, we refuse it without writing the outputs.
  if (!(fx < 4294967296.0) || !(fy < 4294967296.0)) {
    return false;
  }
  mx = static_cast<unsigned int>(fx);
  my = static_cast<unsigned int>(fy);
  return mx < size_x_ && my < size_y_;
}

void Costmap2D::worldToMapNoBounds(double wx, double wy, int& mx, int& my) const {
  mx = static_cast<int>((wx - origin_x_) / resolution_);
  my = static_cast<int>((wy - origin_y_) / resolution_);
}

void Costmap2D::worldToMapEnforceBounds(double wx, double wy, int& mx, int& my) const {
  if (wx < origin_x_) {
    mx = 0;
  } else if (wx > resolution_ * size_x_ + origin_x_) {
    mx = size_x_ - 1;
  } else {
    mx = static_cast<int>((wx - origin_x_) / resolution_);
  }
  if (wy < origin_y_) {
    my = 0;
  } else if (wy > resolution_ * size_y_ + origin_y_) {
    my = size_y_ - 1;
  } else {
    my = static_cast<int>((wy - origin_y_) / resolution_);
  }
}

unsigned char* Costmap2D::getCharMap() const {
  return costmap_;
}
unsigned int Costmap2D::getSizeInCellsX() const {
  return size_x_;
}
unsigned int Costmap2D::getSizeInCellsY() const {
  return size_y_;
}
double Costmap2D::getSizeInMetersX() const {
  return (size_x_ - 1 + 0.5) * resolution_;
}
double Costmap2D::getSizeInMetersY() const {
  return (size_y_ - 1 + 0.5) * resolution_;
}
double Costmap2D::getOriginX() const {
  return origin_x_;
}
double Costmap2D::getOriginY() const {
  return origin_y_;
}
double Costmap2D::getResolution() const {
  return resolution_;
}

unsigned int Costmap2D::cellDistance(double world_dist) {
  double cells_dist = std::max(0.0, std::ceil(world_dist / resolution_));
  return static_cast<unsigned int>(cells_dist);
}

}  // namespace nav2_costmap_2d
