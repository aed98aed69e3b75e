#include "package/DeliveryCheck.h"

#include "win32/Handle.h"

#include <cstring>

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

bool FileMatches(const std::wstring &path, const PayloadStream &stream, const Patience &patience) {
  // Only a holder that lets nobody read is waited for: a missing file will
  // not come.
  const win32::FileHandle file =
      OpenWaitingForHolders(patience, [&] { return OpenSharingEverything(path); });
  if (!file)
    return false;
  const auto expected = stream.Bytes();
  std::size_t offset = 0;
  return ReadInChunks(file.Get(), expected.size(), [&](std::span<const std::byte> chunk) {
    const bool same = std::memcmp(chunk.data(), expected.data() + offset, chunk.size()) == 0;
    offset += chunk.size();
    if (patience.whileWaiting)
      patience.whileWaiting();
    return same;
  });
}
