// How much the package's files may come to, by the stub's kind: what build
// refuses above and show tells of.
#pragma once

#include <cstdint>

// A 32-bit wizard is mapped in one piece of a 32-bit process's 2 GiB on
// 32-bit Windows, beside the system DLLs, heaps and stacks; on 64-bit
// Windows the same large-address-aware program has 4 GiB, and 1,800 MiB is
// the largest package seen to start and extract there.
inline constexpr std::uint64_t kPe32CeilingMiB = 1280;
inline constexpr std::uint64_t kPe32For64BitWindowsCeilingMiB = 1800;
inline constexpr std::uint64_t kPe32PlusCeilingMiB = 1800;
inline constexpr std::uint64_t kMiB = 1024 * 1024;
