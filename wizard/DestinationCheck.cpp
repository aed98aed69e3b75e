#include "wizard/DestinationCheck.h"

namespace {

bool Contains(std::wstring_view text, std::wstring_view part) {
  return text.find(part) != std::wstring_view::npos;
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
  if (text.size() > kMaxDestinationLength)
    return DestinationVerdict::TooLong;
  return DestinationVerdict::Accepted;
}
