// The platform's folder browser, modal and owned by a window.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace toolkit {

// Opens the browser at `initial` and answers the confirmed file-system
// folder, or nothing when the user cancels or the item has no path.
std::optional<std::wstring> BrowseForFolder(HWND owner, const std::wstring &initial);

} // namespace toolkit
