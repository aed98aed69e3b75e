#include "builder/package/Icon.h"

#include "builder/base/Refusal.h"
#include "builder/base/TextRules.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <tuple>

const char kIconNeeds[] = "48, 32 and 16 pixel images at 32 bits per pixel";

namespace {

const std::string kPngSignature("\x89PNG\r\n\x1A\n", 8);
constexpr int kSizes[] = {48, 32, 16};
constexpr int kBits = 32;

// An icon holds one image for each size and depth it offers: a dozen or
// two. More is not an icon an editor wrote.
constexpr std::size_t kMostImages = 256;
// A refusal lists this many images, then how many more.
constexpr std::size_t kListed = 8;

std::uint32_t Be32(std::string_view s, std::size_t at) {
  return std::uint32_t(static_cast<unsigned char>(s[at])) << 24 |
         std::uint32_t(static_cast<unsigned char>(s[at + 1])) << 16 |
         std::uint32_t(static_cast<unsigned char>(s[at + 2])) << 8 |
         static_cast<unsigned char>(s[at + 3]);
}
// Callers check that the bytes are there.
std::uint16_t Le16At(std::string_view s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                    static_cast<unsigned char>(s[at + 1]) << 8);
}
std::uint32_t Le32At(std::string_view s, std::size_t at) {
  return Le16At(s, at) | std::uint32_t(Le16At(s, at + 2)) << 16;
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
  const std::string saveAgain = " Save the icon again from an icon editor.";
  if (data.size() > kMostIconBytes)
    throw Refusal(path + " is larger than the " + WithThousands(kMostIconBytes) +
                  " bytes makewizard reads of an icon: " + saveAs);
  const std::size_t count = Le16At(data, 4);
  if (count > kMostImages)
    throw Refusal(path + " lists " + WithThousands(count) + " images, more than the " +
                  std::to_string(kMostImages) + " makewizard reads of an icon: " + saveAs);
  if (data.size() < 6 + 16 * count)
    throw Refusal(path + " is damaged: its directory lists " + std::to_string(count) +
                  " images but the file ends first." + saveAgain);
  std::vector<IconImage> images;
  std::vector<std::tuple<long long, long long, int>> found;
  std::uint64_t total = 0;
  for (std::size_t index = 0; index < count; ++index) {
    const std::string_view entry = std::string_view(data).substr(6 + 16 * index, 16);
    const std::uint32_t size = Le32At(entry, 8), offset = Le32At(entry, 12);
    if (std::uint64_t(offset) + size > data.size())
      throw Refusal(path + " is damaged: image " + std::to_string(index + 1) +
                    " lies outside the file." + saveAgain);
    // Each image is copied: images that share bytes would cost the file's
    // size many times over.
    total += size;
    if (total > data.size())
      throw Refusal(path + " is damaged: its images overlap." + saveAgain);
    const std::string_view image = std::string_view(data).substr(offset, size);
    const std::uint32_t header = image.size() >= 4 ? Le32At(image, 0) : 0;
    long long width, height;
    int bits;
    if (image.substr(0, 8) == kPngSignature && image.size() >= 26) {
      width = Be32(image, 16);
      height = Be32(image, 20);
      bits = PngBits(static_cast<unsigned char>(image[24]), static_cast<unsigned char>(image[25]));
    } else if (header == 12 && image.size() >= 12) {
      width = Le16At(image, 4);
      height = Le16At(image, 6) / 2;
      bits = Le16At(image, 10);
    } else if (header >= 40 && image.size() >= 40) {
      width = static_cast<std::int32_t>(Le32At(image, 4));
      // The height counts the colour and the transparency mask.
      const long long both = static_cast<std::int32_t>(Le32At(image, 8));
      height = (both < 0 ? -both : both) / 2;
      bits = Le16At(image, 14);
    } else {
      throw Refusal(path + " is damaged: image " + std::to_string(index + 1) +
                    " is neither a bitmap nor a PNG image." + saveAgain);
    }
    found.emplace_back(width, height, bits);
    images.push_back({static_cast<std::uint8_t>(entry[0]), static_cast<std::uint8_t>(entry[1]),
                      static_cast<std::uint8_t>(entry[2]), Le16At(entry, 4), Le16At(entry, 6),
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
  for (std::size_t i = 0; i < std::min(found.size(), kListed); ++i) {
    const auto &[width, height, bits] = found[i];
    held += (held.empty() ? "" : ", ") + std::to_string(width) + "x" + std::to_string(height) +
            " at " + std::to_string(bits) + " bpp";
  }
  if (found.size() > kListed)
    held += " and " + std::to_string(found.size() - kListed) + " more";
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
