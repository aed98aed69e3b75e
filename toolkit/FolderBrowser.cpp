#include "toolkit/FolderBrowser.h"

#include "win32/Handle.h"

#include <shlobj.h>

namespace toolkit {

namespace {

int CALLBACK SelectInitialFolder(HWND dialog, UINT message, LPARAM, LPARAM initial) {
  // Its answer does not matter: a folder that is not there opens the tree as it is.
  if (message == BFFM_INITIALIZED)
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, initial);
  return 0;
}

} // namespace

std::optional<std::wstring> BrowseForFolder(HWND owner, const std::wstring &initial) {
  // Our own copy: it must outlive the dialog whatever the caller does.
  const std::wstring start = initial;
  wchar_t path[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pszDisplayName = path;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = SelectInitialFolder;
  info.lParam = reinterpret_cast<LPARAM>(start.c_str());
  const win32::ItemIdList chosen(SHBrowseForFolderW(&info));
  if (!chosen || !SHGetPathFromIDListW(chosen.Get(), path))
    return std::nullopt;
  return std::wstring(path);
}

} // namespace toolkit
