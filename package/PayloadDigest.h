// The payload's SHA-256 digests: the build stores one per item, and the run
// checks each item against it while it stages it, so that a package damaged
// on its way (a broken download, a failing USB stick) is never delivered.
#pragma once

#include "win32/Handle.h"

#include <array>
#include <cstddef>
#include <span>

using Digest = std::array<std::byte, 32>;

// SHA-256 from the system's own cryptography (CNG), fed a chunk at a time.
class Sha256 {
public:
  Sha256();

  void Add(std::span<const std::byte> bytes);
  Digest Finish();

private:
  win32::AlgorithmHandle algorithm_;
  win32::HashHandle hash_; // after the provider: destroyed before it is closed
};

// The digest the build stored for payload item `index` (in payload order).
// Raises the damaged-package error when the program carries none.
Digest StoredDigest(std::size_t index);

// Raised when an item does not match its digest: nothing can be delivered.
[[noreturn]] void RaiseDamagedPackage();
