// The payload's CRC-32C checksums: the build stores one per item, and the
// run checks each item against it while it writes it, and each delivered
// file once the shell has copied it, so that a package damaged on its way
// (a broken download, a failing USB stick) is never delivered, and a copy
// that differs is never reported as completed.
#pragma once

#include "package/Crc32c.h"

#include <cstddef>
#include <cstdint>
#include <span>

// The checksum the build stored for payload item `index` (in payload
// order). Raises the damaged-package error when the program carries none.
std::uint32_t StoredChecksum(std::size_t index);

// Adds a chunk to a checksum, counting the time for the benchmark.
void AddToChecksum(Crc32c &crc, std::span<const std::byte> chunk);

// Raised when an item does not match its checksum: nothing can be delivered.
[[noreturn]] void RaiseDamagedPackage();
