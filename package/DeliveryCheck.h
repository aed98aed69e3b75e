// Whether the package's files really are in a folder, byte for byte.
#pragma once

#include "package/Patience.h"

#include <cstddef>
#include <cstdint>
#include <string>

// True when `path` holds `size` bytes whose CRC-32C is `checksum`. Reads
// the file alone, a chunk at a time, so memory does not grow with it, and
// runs `patience.whileWaiting` after each, so that the window keeps
// answering. A file that another program holds without letting others read
// it is tried again with that patience; false when it stays held.
bool FileMatches(const std::wstring &path, std::size_t size, std::uint32_t checksum,
                 const Patience &patience = {});
