#include "package/DeliveryCheck.h"

#include "package/PayloadChecksum.h"
#include "package/PayloadItem.h"
#include "package/PhaseMarks.h"
#include "win32/Handle.h"

namespace {

// Read, write and delete shared: the indexer, a scanner or a cloud client
// often opens a file just delivered at once, often for writing, and its
// open must not make a delivered package count as canceled.
HANDLE OpenSharingEverything(const std::wstring &path) {
  return CreateFileW(path.c_str(), GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

} // namespace

bool FileMatches(const std::wstring &path, std::size_t size, std::uint32_t checksum,
                 const Patience &patience) {
  // Only a holder that lets nobody read is waited for: a missing file will
  // not come.
  const win32::FileHandle file =
      OpenWaitingForHolders(patience, [&] { return OpenSharingEverything(path); });
  if (!file)
    return false;
  Crc32c crc(CheckMethod());
  const bool read = ReadInChunks(file.Get(), size, [&](std::span<const std::byte> chunk) {
    AddToChecksum(crc, chunk);
    if (patience.whileWaiting)
      patience.whileWaiting();
    return true;
  });
  return read && crc.Value() == checksum;
}
