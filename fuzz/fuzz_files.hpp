// SPDX-License-Identifier: Apache-2.0
#pragma once

// Scratch files for the loader targets: the loaders read paths, so each input is written to a
// file in a private folder made once per process.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace orvik_fuzz {

/// The process's scratch folder, created on first use.
inline const std::string& scratchDir() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/orvik_fuzz_XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) {
      std::abort();
    }
    return std::string(made);
  }();
  return dir;
}

/// Writes `bytes` to `name` in the scratch folder and returns the file's path.
inline std::string writeScratch(const std::string& name, const void* bytes, size_t size) {
  const std::string path = scratchDir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  return path;
}

inline std::string writeScratch(const std::string& name, const std::string& text) {
  return writeScratch(name, text.data(), text.size());
}

/// A valid 4 x 3 binary PGM with free, occupied and unknown pixels.
inline std::string smallPgm() {
  std::string pgm = "P5\n4 3\n255\n";
  const unsigned char pixels[] = {254, 0, 205, 254, 254, 254, 0, 0, 205, 254, 128, 254};
  pgm.append(reinterpret_cast<const char*>(pixels), sizeof(pixels));
  return pgm;
}

}  // namespace orvik_fuzz
