// The rules a destination folder text must pass before anything is written.
#pragma once

#include "package/PayloadItem.h"
#include "package/ShellCopy.h"

#include <string_view>

enum class DestinationVerdict {
  Accepted,
  ForbiddenCharacter, // a character or a place no folder name may hold
  TooLong,            // beyond what the extraction's path buffers take
};

// The longest destination the extraction takes: the shell copies each file
// into it by a path of the folder, a backslash and the file's name, and
// takes no longer path than that.
inline constexpr std::size_t kMaxDestinationLength = kMaxShellPathLength - kLongestPayloadFileName;

// The length rule counts the full path too: the shell copies into it, and a
// relative text grows when qualified.
DestinationVerdict CheckDestination(std::wstring_view text);
