// The package's files as they lie in the program file: package resources,
// read in place where the loader mapped them, and written out unchanged.
#pragma once

#include "resources/PackageFormat.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>

// The bytes of the package resource of that name (or MAKEINTRESOURCEW
// number); nothing when the program has no such resource.
std::optional<std::span<const std::byte>> PackageResource(LPCWSTR name);
// The same for a resource whose bytes are delivered or checked: raises the
// damaged-package error when the program holds it in more than one
// language, since Windows would pick one by the user's interface language
// and another user, or makewizard, would see other bytes.
std::optional<std::span<const std::byte>> PackageResourceInOneLanguage(LPCWSTR name);

// A read-only view of one payload item's bytes. Loaded resources live as
// long as the module, so there is nothing to free.
class PayloadStream {
public:
  // Raises the resource-not-found error when the program has no such item,
  // the damaged-package error when it has it in more than one language.
  static PayloadStream Open(const wchar_t *resourceName);
  std::span<const std::byte> Bytes() const { return bytes_; }

private:
  explicit PayloadStream(std::span<const std::byte> bytes) : bytes_(bytes) {}
  std::span<const std::byte> bytes_;
};

// Large items are written and checked a chunk at a time, with the window
// answering its messages in between.
using package_format::kChunkBytes;

// Runs after each chunk has been written, with the bytes it held.
using ChunkWritten = std::function<void(std::span<const std::byte> chunk)>;

// What tells a file written apart from another put in its place or one
// resized since: which file it is (volume and index) and its size; nothing
// that the system sets when the writing handle closes.
struct WrittenFile {
  BY_HANDLE_FILE_INFORMATION facts;
  bool operator==(const WrittenFile &other) const;
};
// The facts of an open file; nothing when the system gives none.
std::optional<WrittenFile> WrittenFileOf(HANDLE file);

// Creates (or replaces) the file and writes every byte, a chunk at a time.
// Answers what the file was when the last byte was written. Raises the
// file-creation error or the stream-write error.
WrittenFile SaveToFile(const PayloadStream &stream, const std::wstring &path,
                       const ChunkWritten &afterChunk = {});

// Reads an open file from its start, a chunk at a time, handing each chunk
// to `chunk`, which answers whether to go on. False when the file is not
// `size` bytes long, a read fails or `chunk` stops it.
using ChunkRead = std::function<bool(std::span<const std::byte> chunk)>;
bool ReadInChunks(HANDLE file, std::size_t size, const ChunkRead &chunk);

// The package's items in the order they are always handled, each with the
// name it is saved under (appended to a folder path as it stands).
struct PayloadFile {
  const wchar_t *resourceName;
  const wchar_t *fileName;
};
#define WIZARD_PAYLOAD_FILE(resource, file) PayloadFile{L"" resource, L"\\" file},
inline constexpr PayloadFile kPayloadFiles[] = {PACKAGE_PAYLOAD(WIZARD_PAYLOAD_FILE)};
#undef WIZARD_PAYLOAD_FILE
static_assert(std::size(kPayloadFiles) == package_format::kItemCount);
// The longest file name, its backslash included: what each delivered or
// staged path adds to its folder's.
inline constexpr std::size_t kLongestPayloadFileName = [] {
  std::size_t longest = 0;
  for (const PayloadFile &file : kPayloadFiles)
    longest = std::max(longest, std::char_traits<wchar_t>::length(file.fileName));
  return longest;
}();
