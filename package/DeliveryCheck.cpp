#include "package/DeliveryCheck.h"

#include "toolkit/Handle.h"

#include <algorithm>
#include <cstring>
#include <vector>

bool FileMatches(const std::wstring &path, const PayloadStream &stream,
                 const std::function<void()> &betweenChunks) {
  const toolkit::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file)
    return false;
  const auto expected = stream.Bytes();
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size) ||
      static_cast<unsigned long long>(size.QuadPart) != expected.size())
    return false;

  std::vector<std::byte> chunk(std::min(kChunkBytes, expected.size()));
  for (std::size_t offset = 0; offset < expected.size();) {
    const DWORD want = static_cast<DWORD>(std::min(kChunkBytes, expected.size() - offset));
    DWORD got = 0;
    if (!ReadFile(file.Get(), chunk.data(), want, &got, nullptr) || got != want ||
        std::memcmp(chunk.data(), expected.data() + offset, want) != 0)
      return false;
    offset += want;
    if (betweenChunks)
      betweenChunks();
  }
  return true;
}
