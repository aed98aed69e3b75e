#include "package/PayloadItem.h"

#include "package/PayloadChecksum.h"
#include "win32/Error.h"
#include "win32/Handle.h"
#include "win32/Resource.h"

#include <algorithm>
#include <vector>

std::optional<std::span<const std::byte>> PackageResource(LPCWSTR name) {
  return win32::ModuleResource(MAKEINTRESOURCEW(PACKAGE_RESOURCE_TYPE), name);
}

std::optional<std::span<const std::byte>> PackageResourceInOneLanguage(LPCWSTR name) {
  if (win32::ModuleResourceLanguages(MAKEINTRESOURCEW(PACKAGE_RESOURCE_TYPE), name) > 1)
    RaiseDamagedPackage();
  return PackageResource(name);
}

PayloadStream PayloadStream::Open(const wchar_t *resourceName) {
  const auto bytes = PackageResourceInOneLanguage(resourceName);
  if (!bytes)
    win32::RaiseResourceNotFound(resourceName);
  return PayloadStream(*bytes);
}

bool WrittenFile::operator==(const WrittenFile &other) const {
  // Not the last-write time: Windows stamps it when the writing handle
  // closes, after the save has read it, so a file written for longer than a
  // clock tick would always look changed. A change in place that keeps the
  // size is the delivery check's to find.
  const BY_HANDLE_FILE_INFORMATION &a = facts, &b = other.facts;
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow && a.nFileSizeHigh == b.nFileSizeHigh &&
         a.nFileSizeLow == b.nFileSizeLow;
}

std::optional<WrittenFile> WrittenFileOf(HANDLE file) {
  WrittenFile written{};
  if (!GetFileInformationByHandle(file, &written.facts))
    return std::nullopt;
  return written;
}

WrittenFile SaveToFile(const PayloadStream &stream, const std::wstring &path,
                       const ChunkWritten &afterChunk) {
  const win32::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    win32::RaiseFileCreateError(path);
  const auto bytes = stream.Bytes();
  for (std::size_t offset = 0; offset < bytes.size(); offset += kChunkBytes) {
    const auto chunk = bytes.subspan(offset, std::min(kChunkBytes, bytes.size() - offset));
    DWORD written = 0;
    if (!WriteFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) ||
        written != chunk.size())
      win32::RaiseStreamWriteError();
    if (afterChunk)
      afterChunk(chunk);
  }
  const auto written = WrittenFileOf(file.Get());
  if (!written)
    win32::RaiseFileCreateError(path);
  return *written;
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
