#include "package/PayloadItem.h"

#include "toolkit/Error.h"
#include "toolkit/Handle.h"

#include <algorithm>
#include <vector>

std::optional<std::span<const std::byte>> RawResource(const wchar_t *name) {
  const HMODULE module = GetModuleHandleW(nullptr);
  const HRSRC resource = FindResourceW(module, name, MAKEINTRESOURCEW(10)); // RT_RCDATA
  if (!resource)
    return std::nullopt;
  const HGLOBAL loaded = LoadResource(module, resource);
  const DWORD size = SizeofResource(module, resource);
  const void *bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes && size != 0)
    return std::nullopt;
  return std::span(static_cast<const std::byte *>(bytes), size);
}

PayloadStream PayloadStream::Open(const wchar_t *resourceName) {
  const auto bytes = RawResource(resourceName);
  if (!bytes)
    toolkit::RaiseResourceNotFound(resourceName);
  return PayloadStream(*bytes);
}

void SaveToFile(const PayloadStream &stream, const std::wstring &path,
                const ChunkWritten &afterChunk) {
  const toolkit::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    toolkit::RaiseFileCreateError(path);
  const auto bytes = stream.Bytes();
  for (std::size_t offset = 0; offset < bytes.size(); offset += kChunkBytes) {
    const auto chunk = bytes.subspan(offset, std::min(kChunkBytes, bytes.size() - offset));
    DWORD written = 0;
    if (!WriteFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) ||
        written != chunk.size())
      toolkit::RaiseStreamWriteError();
    if (afterChunk)
      afterChunk(chunk);
  }
}

bool ReadInChunks(HANDLE file, std::size_t size, const ChunkRead &chunk) {
  LARGE_INTEGER actual{};
  if (!GetFileSizeEx(file, &actual) || static_cast<unsigned long long>(actual.QuadPart) != size)
    return false;
  std::vector<std::byte> buffer(std::min(kChunkBytes, size));
  for (std::size_t offset = 0; offset < size;) {
    const DWORD want = static_cast<DWORD>(std::min(kChunkBytes, size - offset));
    DWORD got = 0;
    if (!ReadFile(file, buffer.data(), want, &got, nullptr) || got != want ||
        !chunk(std::span(buffer.data(), want)))
      return false;
    offset += want;
  }
  return true;
}
