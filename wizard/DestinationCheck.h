// The rules a destination folder text must pass before anything is written.
#pragma once

#include <string_view>

enum class DestinationVerdict {
  Accepted,
  ForbiddenCharacter, // a character or a place no folder name may hold
  TooLong,            // beyond what the extraction's path buffers take
};

// The longest destination the extraction's 261-character buffers take with
// their two terminating zeros.
inline constexpr std::size_t kMaxDestinationLength = 259;

DestinationVerdict CheckDestination(std::wstring_view text);
