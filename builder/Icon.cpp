#include "builder/Icon.h"

#include "builder/Refusal.h"

#include <cstdint>
#include <stdexcept>
#include <tuple>

const char kIconNeeds[] = "48, 32 and 16 pixel images at 32 bits per pixel";

namespace {

const std::string kPngSignature("\x89PNG\r\n\x1A\n", 8);
constexpr int kSizes[] = {48, 32, 16};
constexpr int kBits = 32;

std::uint32_t Be32(const std::string &s, std::size_t at) {
  return std::uint32_t(static_cast<unsigned char>(s[at])) << 24 |
         std::uint32_t(static_cast<unsigned char>(s[at + 1])) << 16 |
         std::uint32_t(static_cast<unsigned char>(s[at + 2])) << 8 |
         static_cast<unsigned char>(s[at + 3]);
}
const std::uint8_t *At(const std::string &s, std::size_t at) {
  return reinterpret_cast<const std::uint8_t *>(s.data()) + at;
}

// Bits per pixel of a PNG image from its header's depth and colour type.
int PngBits(int depth, int colour) {
  switch (colour) {
  case 0:
  case 3:
    return depth;
  case 2:
    return 3 * depth;
  case 4:
    return 2 * depth;
  case 6:
    return 4 * depth;
  default:
    return 0;
  }
}

} // namespace

std::vector<IconImage> ReadIcon(const std::string &path, const std::string &data) {
  const std::string saveAs = std::string("save it as an .ico file with ") + kIconNeeds + ".";
  const std::pair<std::string, const char *> notIcons[] = {
      {kPngSignature, "a PNG picture"},
      {"BM", "a bitmap picture"},
      {"\xFF\xD8\xFF", "a JPEG picture"},
      {"GIF8", "a GIF picture"},
      {std::string("\0\0\2\0", 4), "a cursor"}};
  for (const auto &[signature, what] : notIcons)
    if (data.compare(0, signature.size(), signature) == 0)
      throw Refusal(path + " is " + what + ", not an icon file: " + saveAs);
  if (data.size() < 6 || data.compare(0, 4, std::string("\0\0\1\0", 4)) != 0)
    throw Refusal(path + " is not an icon file: " + saveAs);
  const std::size_t count = Le16(At(data, 4));
  if (data.size() < 6 + 16 * count)
    throw Refusal(path + " is damaged: its directory lists " + std::to_string(count) +
                  " images but the file ends first. Save the icon again from an icon editor.");
  std::vector<IconImage> images;
  std::vector<std::tuple<long long, long long, int>> found;
  for (std::size_t index = 0; index < count; ++index) {
    const std::uint8_t *entry = At(data, 6 + 16 * index);
    const std::uint32_t size = Le32(entry + 8), offset = Le32(entry + 12);
    if (std::uint64_t(offset) + size > data.size())
      throw Refusal(path + " is damaged: image " + std::to_string(index + 1) +
                    " lies outside the file. Save the icon again from an icon editor.");
    const std::string image = data.substr(offset, size);
    const std::uint32_t header = image.size() >= 4 ? Le32(At(image, 0)) : 0;
    long long width, height;
    int bits;
    if (image.compare(0, 8, kPngSignature) == 0 && image.size() >= 26) {
      width = Be32(image, 16);
      height = Be32(image, 20);
      bits = PngBits(static_cast<unsigned char>(image[24]), static_cast<unsigned char>(image[25]));
    } else if (header == 12 && image.size() >= 12) {
      width = Le16(At(image, 4));
      height = Le16(At(image, 6)) / 2;
      bits = Le16(At(image, 10));
    } else if (header >= 40 && image.size() >= 40) {
      width = static_cast<std::int32_t>(Le32(At(image, 4)));
      // The height counts the colour and the transparency mask.
      const long long both = static_cast<std::int32_t>(Le32(At(image, 8)));
      height = (both < 0 ? -both : both) / 2;
      bits = Le16(At(image, 14));
    } else {
      throw Refusal(
          path + " is damaged: image " + std::to_string(index + 1) +
          " is neither a bitmap nor a PNG image. Save the icon again from an icon editor.");
    }
    found.emplace_back(width, height, bits);
    images.push_back({entry[0], entry[1], entry[2], Le16(entry + 4), Le16(entry + 6),
                      Bytes(image.begin(), image.end())});
  }

  std::vector<int> missing;
  for (const int size : kSizes) {
    bool present = false;
    for (const auto &[width, height, bits] : found)
      present = present || (width == size && height == size && bits == kBits);
    if (!present)
      missing.push_back(size);
  }
  if (missing.empty())
    return images;
  std::string held;
  for (const auto &[width, height, bits] : found)
    held += (held.empty() ? "" : ", ") + std::to_string(width) + "x" + std::to_string(height) +
            " at " + std::to_string(bits) + " bpp";
  std::string what = "the " + std::to_string(missing[0]) + "-pixel image", it = "it";
  if (missing.size() > 1) {
    what = "the ";
    for (std::size_t i = 0; i + 1 < missing.size(); ++i)
      what += std::to_string(missing[i]) + "-" + (i + 2 < missing.size() ? ", " : "");
    what += " and " + std::to_string(missing.back()) + "-pixel images";
    it = "them";
  }
  throw Refusal(path + " lacks " + what + " at " + std::to_string(kBits) +
                " bits per pixel (it holds " + (held.empty() ? "no image" : held) + "): add " + it +
                " with an icon editor; the wizard's icon needs " + kIconNeeds + ".");
}

Bytes IconGroup(const std::vector<IconImage> &images, std::uint16_t firstId) {
  Bytes group;
  Append16(group, 0);
  Append16(group, 1); // icons, not cursors
  Append16(group, static_cast<std::uint16_t>(images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    const IconImage &image = images[i];
    group.push_back(image.width);
    group.push_back(image.height);
    group.push_back(image.colourCount);
    group.push_back(0);
    // Some editors leave planes and bits zero; the resource compiler then
    // gives one plane and the bits the colour count needs.
    std::uint16_t bits = image.bitCount;
    if (!bits)
      while ((1u << bits) < image.colourCount)
        ++bits;
    Append16(group, image.planes ? image.planes : 1);
    Append16(group, bits);
    Append32(group, static_cast<std::uint32_t>(image.data.size()));
    Append16(group, static_cast<std::uint16_t>(firstId + i));
  }
  return group;
}

std::vector<IconSize> ReadIconGroup(const Bytes &group) {
  if (group.size() < 6 || Le16(&group[2]) != 1 ||
      group.size() < 6 + 14 * std::size_t{Le16(&group[4])})
    throw std::runtime_error("its icon directory is damaged");
  std::vector<IconSize> sizes;
  for (std::size_t i = 0; i < Le16(&group[4]); ++i) {
    const std::uint8_t *entry = &group[6 + 14 * i];
    // A width or height of 0 stands for 256.
    sizes.push_back({entry[0] ? entry[0] : 256u, entry[1] ? entry[1] : 256u, Le16(entry + 6),
                     Le16(entry + 12)});
  }
  return sizes;
}
