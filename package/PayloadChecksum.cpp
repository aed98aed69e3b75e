#include "package/PayloadChecksum.h"

#include "package/PayloadItem.h"
#include "package/PhaseMarks.h"
#include "resources/Texts.h"
#include "win32/Error.h"

std::uint32_t StoredChecksum(std::size_t index) {
  const auto stored = PackageResourceInOneLanguage(L"" PACKAGE_CRC32C_RESOURCE);
  if (!stored || stored->size() != package_format::kChecksumsBytes ||
      index >= package_format::kItemCount)
    RaiseDamagedPackage();
  const auto *bytes = stored->data() + index * package_format::kChecksumBytes;
  std::uint32_t checksum = 0;
  for (std::size_t i = 0; i < package_format::kChecksumBytes; ++i)
    checksum |= static_cast<std::uint32_t>(bytes[i]) << 8 * i; // little-endian
  return checksum;
}

void AddToChecksum(Crc32c &crc, std::span<const std::byte> chunk) {
  MarkCheckStart();
  crc.Add(chunk.data(), chunk.size());
  MarkCheckEnd();
}

void RaiseDamagedPackage() { throw win32::Error(texts::kDamagedPackage); }
