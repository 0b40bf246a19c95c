// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"

namespace nav2_costmap_2d {

struct MapLocation {
  unsigned int x;
  unsigned int y;
};

/// A row-major 2D grid of costs with its world geometry, following Nav2 Humble's semantics.
/// Cell accessors do not check bounds, as upstream.
class Costmap2D {
 public:
  typedef std::recursive_mutex mutex_t;

  Costmap2D(unsigned int cells_size_x, unsigned int cells_size_y, double resolution,
            double origin_x, double origin_y, unsigned char default_value = 0);
  Costmap2D(const Costmap2D& map);
  explicit Costmap2D(const nav_msgs::msg::OccupancyGrid& map);
  Costmap2D();
  Costmap2D& operator=(const Costmap2D& map);
  virtual ~Costmap2D();

  unsigned char getCost(unsigned int mx, unsigned int my) const;
  unsigned char getCost(unsigned int index) const;
  void setCost(unsigned int mx, unsigned int my, unsigned char cost);

  void mapToWorld(unsigned int mx, unsigned int my, double& wx, double& wy) const;
  /// Upstream semantics for finite input; NaN or infinite coordinates give false (upstream
  /// would convert them with undefined behaviour).
  bool worldToMap(double wx, double wy, unsigned int& mx, unsigned int& my) const;
  void worldToMapNoBounds(double wx, double wy, int& mx, int& my) const;
  void worldToMapEnforceBounds(double wx, double wy, int& mx, int& my) const;

  inline unsigned int getIndex(unsigned int mx, unsigned int my) const { return my * size_x_ + mx; }
  inline void indexToCells(unsigned int index, unsigned int& mx, unsigned int& my) const {
    my = index / size_x_;
    mx = index - (my * size_x_);
  }

  unsigned char* getCharMap() const;
  unsigned int getSizeInCellsX() const;
  unsigned int getSizeInCellsY() const;
  double getSizeInMetersX() const;
  double getSizeInMetersY() const;
  double getOriginX() const;
  double getOriginY() const;
  double getResolution() const;
  void setDefaultValue(unsigned char c) { default_value_ = c; }
  unsigned char getDefaultValue() { return default_value_; }
  unsigned int cellDistance(double world_dist);
  void resizeMap(unsigned int size_x, unsigned int size_y, double resolution, double origin_x,
                 double origin_y);
  mutex_t* getMutex() { return access_; }

 protected:
  virtual void initMaps(unsigned int size_x, unsigned int size_y);
  virtual void deleteMaps();

  unsigned int size_x_;
  unsigned int size_y_;
  double resolution_;
  double origin_x_;
  double origin_y_;
  unsigned char* costmap_;
  unsigned char default_value_;

 private:
  mutex_t* access_;
};

}  // namespace nav2_costmap_2d
