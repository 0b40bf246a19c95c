// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_gridmap/map_loader.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>
#include <vector>

#include <yaml-cpp/yaml.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "loader_support.hpp"
#include "nav2_costmap_2d/cost_values.hpp"

namespace orvik_nav2_gridmap {

using loader_support::expandHome;
using loader_support::fail;
using loader_support::failAt;
using loader_support::loadYamlFile;
using loader_support::readFinite;
using loader_support::readString;

namespace {

enum class MapMode { kTrinary, kScale, kRaw };

struct MapMetadata {
  std::string image;
  double resolution{0.0};
  double origin[3]{0.0, 0.0, 0.0};
  double free_thresh{0.0};
  double occupied_thresh{0.0};
  bool negate{false};
  MapMode mode{MapMode::kTrinary};
};

MapMetadata readMapYaml(const std::string& yaml_path) {
  const YAML::Node root = loadYamlFile(yaml_path);
  if (!root.IsMap()) {
    fail(yaml_path, "not a YAML map of keys");
  }
  MapMetadata meta;
  meta.image = readString(root["image"], yaml_path, "image");
  if (meta.image.empty()) {
    fail(yaml_path, "The image tag was empty.");
  }
  meta.resolution = readFinite(root["resolution"], yaml_path, "resolution");
  if (meta.resolution <= 0.0) {
    fail(yaml_path, "resolution must be positive, not " + std::to_string(meta.resolution));
  }
  const YAML::Node origin = root["origin"];
  if (!origin || !origin.IsSequence()) {
    fail(yaml_path, "key 'origin' is missing or not a list");
  }
  if (origin.size() != 3) {
    fail(yaml_path,
         "value of the 'origin' tag should have 3 elements, not " + std::to_string(origin.size()));
  }
  for (std::size_t i = 0; i < 3; ++i) {
    meta.origin[i] = readFinite(origin[i], yaml_path, "origin");
  }
  meta.free_thresh = readFinite(root["free_thresh"], yaml_path, "free_thresh");
  meta.occupied_thresh = readFinite(root["occupied_thresh"], yaml_path, "occupied_thresh");
  if (meta.free_thresh > meta.occupied_thresh) {
    fail(yaml_path, "free_thresh is above occupied_thresh");
  }
  const YAML::Node negate = root["negate"];
  if (!negate) {
    fail(yaml_path, "key 'negate' is missing");
  }
  // map_server accepts an integer or, failing that, a boolean.
  if (orvik_input::isIntegerScalar(negate)) {
    meta.negate = loader_support::strictly(
                      [&] { return orvik_input::readInt(negate, yaml_path, "negate"); }) != 0;
  } else if (orvik_input::isBoolScalar(negate)) {
    meta.negate = loader_support::readBool(negate, yaml_path, "negate");
  } else {
    failAt(yaml_path, negate, "negate",
           std::string("expected 0, 1, true or false, got ") + orvik_input::describeNode(negate));
  }
  if (const YAML::Node mode = root["mode"]) {
    std::string name = readString(mode, yaml_path, "mode");
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name == "trinary") {
      meta.mode = MapMode::kTrinary;
    } else if (name == "scale") {
      meta.mode = MapMode::kScale;
    } else if (name == "raw") {
      meta.mode = MapMode::kRaw;
    } else {
      fail(yaml_path, "unknown mode '" + mode.Scalar() + "'");
    }
  }
  return meta;
}

std::string formatNumber(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

std::string resolveBeside(const std::string& yaml_path, const std::string& file) {
  if (!file.empty() && file.front() == '/') {
    return file;
  }
  return (std::filesystem::path(yaml_path).parent_path() / file).string();
}

cv::Mat readImage(const std::string& path, const std::string& role) {
  // The error_code form: a name the system refuses (too long, no permission) is a missing image,
  // not a filesystem_error escaping the loader.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    fail(path, role + " image not found");
  }
  cv::Mat image;
  try {
    image = cv::imread(path, cv::IMREAD_UNCHANGED);
  } catch (const cv::Exception& e) {
    fail(path, role + " image cannot be decoded: " + e.what());
  }
  if (image.empty() || image.rows <= 0 || image.cols <= 0) {
    fail(path, role + " image cannot be decoded or is empty");
  }
  return image;
}

// One pixel's channel values in the order map_server averages them (R, G, B, then alpha in
// trinary mode), scaled to 0..1 by the image's maximum value.
struct PixelReader {
  const cv::Mat& image;
  double max_value;

  // Returns shade (mean of the channels / max) and whether the pixel is fully opaque.
  std::pair<double, bool> read(int row, int col, bool alpha_counts) const {
    const int channels = image.channels();
    double values[4] = {0, 0, 0, 0};
    for (int c = 0; c < channels; ++c) {
      values[c] = image.depth() == CV_8U ? image.ptr<uint8_t>(row)[col * channels + c]
                                         : image.ptr<uint16_t>(row)[col * channels + c];
    }
    if (channels == 1) {
      return {values[0] / max_value, true};
    }
    if (channels == 2) {  // grey + alpha
      const double alpha = values[1];
      const double sum = values[0] * 3 + (alpha_counts ? alpha : 0.0);
      return {sum / (alpha_counts ? 4.0 : 3.0) / max_value, alpha >= max_value};
    }
    // OpenCV stores B, G, R(, A); the mean does not depend on the order.
    double sum = values[0] + values[1] + values[2];
    double count = 3.0;
    bool opaque = true;
    if (channels == 4) {
      opaque = values[3] >= max_value;
      if (alpha_counts) {
        sum += values[3];
        count = 4.0;
      }
    }
    return {sum / count / max_value, opaque};
  }
};

int8_t occupancyOf(const MapMetadata& meta, double shade, bool opaque) {
  const double occ = meta.negate ? shade : 1.0 - shade;
  switch (meta.mode) {
    case MapMode::kTrinary:
      if (meta.occupied_thresh < occ) {
        return 100;
      }
      return occ < meta.free_thresh ? 0 : -1;
    case MapMode::kScale: {
      if (!opaque) {
        return -1;
      }
      if (meta.occupied_thresh < occ) {
        return 100;
      }
      if (occ < meta.free_thresh) {
        return 0;
      }
      // Equal thresholds leave no band to scale into; the cell sits on both, call it free.
      const double span = meta.occupied_thresh - meta.free_thresh;
      if (span <= 0.0) {
        return 0;
      }
      return static_cast<int8_t>(std::rint((occ - meta.free_thresh) / span * 100.0));
    }
    case MapMode::kRaw: {
      const double v = std::round(shade * 255.0);
      return v >= 0.0 && v <= 100.0 ? static_cast<int8_t>(v) : -1;
    }
  }
  return -1;
}

// Reads a single-channel layer image of the map's size into row-major cells, bottom image row
// first, like the map itself.
template <class T>
std::vector<T> readLayerImage(const std::string& path, const std::string& role, unsigned int size_x,
                              unsigned int size_y, bool allow_16bit) {
  const cv::Mat image = readImage(path, role);
  if (image.channels() != 1) {
    fail(path, role + " image must have one channel, not " + std::to_string(image.channels()));
  }
  if (image.depth() != CV_8U && !(allow_16bit && image.depth() == CV_16U)) {
    fail(path, role + " image has an unsupported pixel depth");
  }
  if (static_cast<unsigned int>(image.cols) != size_x ||
      static_cast<unsigned int>(image.rows) != size_y) {
    fail(path, role + " image is " + std::to_string(image.cols) + " x " +
                   std::to_string(image.rows) + ", the map " + std::to_string(size_x) + " x " +
                   std::to_string(size_y));
  }
  std::vector<T> cells(static_cast<std::size_t>(size_x) * size_y);
  for (unsigned int row = 0; row < size_y; ++row) {
    const unsigned int y = size_y - 1 - row;
    for (unsigned int x = 0; x < size_x; ++x) {
      const int r = static_cast<int>(row), c = static_cast<int>(x);
      cells[static_cast<std::size_t>(y) * size_x + x] =
          image.depth() == CV_8U ? static_cast<T>(image.at<uint8_t>(r, c))
                                 : static_cast<T>(image.at<uint16_t>(r, c));
    }
  }
  return cells;
}

std::shared_ptr<GridMapROS> buildGridMap(const nav2_costmap_2d::Costmap2D& costmap,
                                         const GridMapConfig& config, std::vector<int> labels,
                                         std::vector<uint8_t> extra, const std::string& source) {
  try {
    return std::make_shared<GridMapROS>(costmap, config, std::move(labels), std::move(extra));
  } catch (const std::invalid_argument& e) {
    fail(source, e.what());
  }
}

// Far enough from zero that the origin's own rounding reaches a thousandth of a cell: beyond it
// neighbouring cells have world coordinates that can no longer be told apart reliably.
constexpr double kMaxOriginInCells = 1e12;

// The grid stores the resolution as a float and the costmap computes every cell's world
// coordinate from origin and resolution; a value that is finite as YAML's double can still
// become infinite or zero on the way (resolution 1e300 is an infinite float) or put the far
// corner of the map out of range. Such a map is refused here rather than handed on.
void checkGeometrySurvivesStorage(const MapMetadata& meta, unsigned int width, unsigned int height,
                                  const std::string& yaml_path) {
  const float stored_resolution = static_cast<float>(meta.resolution);
  if (!std::isnormal(stored_resolution)) {  // infinite, zero or subnormal
    fail(yaml_path, "resolution " + formatNumber(meta.resolution) +
                        " is out of the range a map's resolution can be stored in (a float)");
  }
  const double resolution = static_cast<double>(stored_resolution);
  const unsigned int sizes[2] = {width, height};
  for (int axis = 0; axis < 2; ++axis) {
    const double origin = meta.origin[axis];
    const double far_corner = origin + static_cast<double>(sizes[axis]) * resolution;
    if (!std::isfinite(far_corner) || std::abs(origin) / resolution > kMaxOriginInCells ||
        std::abs(far_corner) / resolution > kMaxOriginInCells) {
      fail(yaml_path, "origin " + formatNumber(origin) + " is too far from 0 for cells of " +
                          formatNumber(resolution) + " m: the cells' positions would be lost");
    }
  }
}

}  // namespace

nav_msgs::msg::OccupancyGrid loadOccupancyGrid(const std::string& yaml_path) {
  const std::string path = expandHome(yaml_path);
  const MapMetadata meta = readMapYaml(path);
  const std::string image_path = resolveBeside(path, meta.image);
  const cv::Mat image = readImage(image_path, "map");
  if (image.depth() != CV_8U && image.depth() != CV_16U) {
    fail(image_path, "map image has an unsupported pixel depth");
  }
  if (image.channels() < 1 || image.channels() > 4) {
    fail(image_path, "map image has " + std::to_string(image.channels()) + " channels");
  }
  const PixelReader reader{image, image.depth() == CV_8U ? 255.0 : 65535.0};
  checkGeometrySurvivesStorage(meta, static_cast<unsigned int>(image.cols),
                               static_cast<unsigned int>(image.rows), path);

  nav_msgs::msg::OccupancyGrid grid;
  grid.header.frame_id = "map";
  grid.info.width = static_cast<uint32_t>(image.cols);
  grid.info.height = static_cast<uint32_t>(image.rows);
  grid.info.resolution = static_cast<float>(meta.resolution);
  grid.info.origin.position.x = meta.origin[0];
  grid.info.origin.position.y = meta.origin[1];
  grid.info.origin.position.z = 0.0;
  grid.info.origin.orientation.z = std::sin(meta.origin[2] / 2.0);
  grid.info.origin.orientation.w = std::cos(meta.origin[2] / 2.0);
  grid.data.resize(static_cast<std::size_t>(grid.info.width) * grid.info.height);
  const bool alpha_counts = meta.mode == MapMode::kTrinary;
  for (int row = 0; row < image.rows; ++row) {
    const std::size_t y = static_cast<std::size_t>(image.rows - row - 1);
    for (int x = 0; x < image.cols; ++x) {
      const auto [shade, opaque] = reader.read(row, x, alpha_counts);
      grid.data[y * grid.info.width + static_cast<std::size_t>(x)] =
          occupancyOf(meta, shade, opaque);
    }
  }
  return grid;
}

nav2_costmap_2d::Costmap2D costmapFromOccupancyGrid(const nav_msgs::msg::OccupancyGrid& grid,
                                                    bool track_unknown_space) {
  const uint32_t width = grid.info.width;
  const uint32_t height = grid.info.height;
  if (width == 0 || height == 0) {
    throw MapLoadError("occupancy grid is empty (" + std::to_string(width) + " x " +
                       std::to_string(height) + ")");
  }
  if (grid.data.size() != static_cast<std::size_t>(width) * height) {
    throw MapLoadError("occupancy grid has " + std::to_string(grid.data.size()) + " values for " +
                       std::to_string(width) + " x " + std::to_string(height) + " cells");
  }
  const double resolution = static_cast<double>(grid.info.resolution);
  if (!std::isfinite(resolution) || resolution <= 0.0) {
    throw MapLoadError("occupancy grid resolution " + std::to_string(resolution) +
                       " is not positive");
  }
  if (!std::isfinite(grid.info.origin.position.x) || !std::isfinite(grid.info.origin.position.y)) {
    throw MapLoadError("occupancy grid origin is not finite");
  }
  nav2_costmap_2d::Costmap2D costmap(width, height, resolution, grid.info.origin.position.x,
                                     grid.info.origin.position.y, nav2_costmap_2d::FREE_SPACE);
  unsigned char* cells = costmap.getCharMap();
  constexpr unsigned char kUnknownValue = 255;
  constexpr unsigned char kLethalThreshold = 100;
  for (std::size_t i = 0; i < grid.data.size(); ++i) {
    const auto value = static_cast<unsigned char>(grid.data[i]);
    if (value == kUnknownValue) {
      cells[i] =
          track_unknown_space ? nav2_costmap_2d::NO_INFORMATION : nav2_costmap_2d::FREE_SPACE;
    } else if (value >= kLethalThreshold) {
      cells[i] = nav2_costmap_2d::LETHAL_OBSTACLE;
    } else {
      cells[i] = nav2_costmap_2d::FREE_SPACE;
    }
  }
  return costmap;
}

std::shared_ptr<GridMapROS> loadRosMap(const std::string& map_yaml_path,
                                       const GridMapConfig& config,
                                       const std::string& passage_labels_image,
                                       const std::string& extra_cost_image) {
  const nav_msgs::msg::OccupancyGrid grid = loadOccupancyGrid(map_yaml_path);
  const nav2_costmap_2d::Costmap2D costmap = costmapFromOccupancyGrid(grid, true);
  std::vector<int> labels;
  if (!passage_labels_image.empty()) {
    labels = readLayerImage<int>(passage_labels_image, "passage label", grid.info.width,
                                 grid.info.height, true);
  }
  std::vector<uint8_t> extra;
  if (!extra_cost_image.empty()) {
    extra = readLayerImage<uint8_t>(extra_cost_image, "extra cost", grid.info.width,
                                    grid.info.height, false);
  }
  return buildGridMap(costmap, config, std::move(labels), std::move(extra), map_yaml_path);
}

}  // namespace orvik_nav2_gridmap
