// The package as a wizard carries it: what makewizard adds to a stub and
// what the stub expects to find. The one home of these facts for the wizard,
// makewizard, the benchmarks, the tests, CMake and the scripts (which read
// it through tests/support/package_format.py).
// Plain macros first, so that the resource compiler, narrow and wide
// strings can be made of them; C++ tables after.
#pragma once

// The stub's marker: a package resource of this name holding one ASCII line
// that names the stub's format. makewizard builds only from the format it
// was made with; raise the number whenever what the stub expects of the
// builder changes (anything in this file, the section layout).
#define WIZARD_STUB_MARKER_NAME "WIZARD_STUB"
#define WIZARD_STUB_FORMAT 2
#define WIZARD_STUB_MARKER "wizard stub format 2\n"

// Every package resource is of this type: RT_RCDATA.
#define PACKAGE_RESOURCE_TYPE 10

// The payload, in the order it is always handled: each file stored whole,
// with no header, as a resource of that name, and delivered under that name.
#define PACKAGE_PAYLOAD(PACKAGE_ITEM)                                                              \
  PACKAGE_ITEM("FILE1", "VELNORIX410aE.exe")                                                       \
  PACKAGE_ITEM("FILE2", "VELNORIX_User'sManual.pdf")                                               \
  PACKAGE_ITEM("FILE3", "ReadMe_E.txt")

// The payload's SHA-256 digests: 32 bytes per file, in payload order, and
// nothing else. makewizard show and extract check them.
#define PACKAGE_SHA256_RESOURCE "DIGESTS"
// The payload's CRC-32C checksums (package/Crc32c.h), which the wizard
// checks as it writes the files and once they are delivered: 4 bytes per
// file, little-endian, in payload order, and nothing else. Since format 2.
#define PACKAGE_CRC32C_RESOURCE "CRC32C"

// The licence agreement, by number: UTF-8 without a byte-order mark, every
// line ending in CR LF, not empty. makewizard makes it so from whatever
// encoding and line ends the owner saved; the wizard shows it as it is.
#define PACKAGE_AGREEMENT_ID 201
// The program's icon group (its images are icons 1, 2, ...); the version
// record and the manifest are number 1 of their standard types.
#define PACKAGE_ICON_GROUP_ID 1

#ifdef __cplusplus
#include <cstddef>
#include <iterator>

namespace package_format {

struct Item {
  const char *resourceName;
  const char *fileName; // a bare name, without a folder
};

#define PACKAGE_FORMAT_ITEM(resource, file) Item{resource, file},
inline constexpr Item kItems[] = {PACKAGE_PAYLOAD(PACKAGE_FORMAT_ITEM)};
#undef PACKAGE_FORMAT_ITEM

inline constexpr std::size_t kItemCount = std::size(kItems);
inline constexpr std::size_t kDigestBytes = 32;
inline constexpr std::size_t kDigestsBytes = kItemCount * kDigestBytes;
inline constexpr std::size_t kChecksumBytes = 4;
inline constexpr std::size_t kChecksumsBytes = kItemCount * kChecksumBytes;

// The piece in which both makewizard and the wizard stream a payload file:
// large enough to cost nothing per call, small enough that memory does not
// grow with the file and the wizard's window keeps answering in between
// (one piece read from a USB stick at 5 MB/s takes about 200 ms).
inline constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

} // namespace package_format
#endif
