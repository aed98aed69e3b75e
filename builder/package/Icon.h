// program.ico: checked for the images the wizard needs, then stored as the
// resource compiler stores an icon file: each image an RT_ICON resource
// numbered from 1, and an RT_GROUP_ICON directory of them.
#pragma once

#include "builder/base/Bytes.h"

#include <cstddef>
#include <string>
#include <vector>

struct IconImage {
  // As the file's directory gives them.
  std::uint8_t width, height, colourCount;
  std::uint16_t planes, bitCount;
  Bytes data;
};

// The largest icon file read: several times the largest real icons (every
// size up to 256 pixels at every depth, uncompressed, comes to about 1 MB).
inline constexpr std::size_t kMostIconBytes = 4u << 20;

// The file's images; refuses, naming `path`, a file that is not an icon or
// lacks the 48, 32 and 16 pixel images at 32 bits per pixel.
std::vector<IconImage> ReadIcon(const std::string &path, const std::string &data);

// The group directory for images numbered from `firstId`.
Bytes IconGroup(const std::vector<IconImage> &images, std::uint16_t firstId);

// What a group directory lists of each image, as Windows reads it.
struct IconSize {
  unsigned width, height, bitCount;
  std::uint16_t id;
};
// Throws std::runtime_error when the directory is damaged.
std::vector<IconSize> ReadIconGroup(const Bytes &group);

extern const char kIconNeeds[];
