#include "wizard/DestinationCheck.h"

namespace {

bool Contains(std::wstring_view text, std::wstring_view part) {
  return text.find(part) != std::wstring_view::npos;
}

// The length of the full path the text names: the shell copies into that,
// and a relative text grows by the current folder when qualified.
std::size_t FullPathLength(std::wstring_view text) {
  const DWORD required = GetFullPathNameW(std::wstring(text).c_str(), 0, nullptr, nullptr);
  return required ? required - 1 : text.size(); // the size asked for holds the terminating zero
}

} // namespace

// The rules look at UTF-16 characters, so no character of any script can be
// mistaken for a backslash or a bar. The first rule that matches rejects.
DestinationVerdict CheckDestination(std::wstring_view text) {
  const bool forbidden =
      Contains(text, L"\\\\") ||                             // network paths and doubled separators
      Contains(text, L"/") ||                                //
      text.starts_with(L':') ||                              //
      (text.size() > 2 && Contains(text.substr(2), L":")) || // a drive colon only in second place
      Contains(text, L"*") || Contains(text, L"?") || Contains(text, L"\"") ||
      Contains(text, L"<") || Contains(text, L">") || Contains(text, L"|");
  if (forbidden)
    return DestinationVerdict::ForbiddenCharacter;
  if (text.size() > kMaxDestinationLength || FullPathLength(text) > kMaxDestinationLength)
    return DestinationVerdict::TooLong;
  return DestinationVerdict::Accepted;
}
