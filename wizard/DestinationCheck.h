// The rules a destination folder text must pass before anything is written.
#pragma once

#include "package/ShellCopy.h"

#include <string_view>

enum class DestinationVerdict {
  Accepted,
  ForbiddenCharacter, // a character or a place no folder name may hold
  TooLong,            // beyond what the extraction's path buffers take
};

// The longest destination the extraction takes: the shell copies into it.
inline constexpr std::size_t kMaxDestinationLength = kMaxShellPathLength;

DestinationVerdict CheckDestination(std::wstring_view text);
