#include "package/ProtectedFolder.h"

#include <windows.h>

#include <sddl.h>

namespace {

struct LocalMemory {
  void *memory = nullptr;
  ~LocalMemory() { LocalFree(memory); }
};

std::wstring CurrentUserSid() {
  const toolkit::FileHandle token([] {
    HANDLE opened = INVALID_HANDLE_VALUE;
    return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened) ? opened
                                                                       : INVALID_HANDLE_VALUE;
  }());
  if (!token)
    return L"";
  alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size))
    return L"";
  LocalMemory text;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer)->User.Sid,
                              reinterpret_cast<LPWSTR *>(&text.memory)))
    return L"";
  return static_cast<const wchar_t *>(text.memory);
}

} // namespace

std::wstring ProtectedFolderSddl() {
  // P: protected, nothing inherited from %TEMP%. OICI: what is created inside
  // gets the same entries. 0x1200a9: FILE_GENERIC_READ | FILE_GENERIC_EXECUTE.
  std::wstring sddl = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
  const std::wstring user = CurrentUserSid();
  if (!user.empty())
    sddl += L"(A;OICI;0x1200a9;;;" + user + L")";
  return sddl;
}

bool CreateProtectedFolder(const std::wstring &path) {
  LocalMemory descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          ProtectedFolderSddl().c_str(), SDDL_REVISION_1, &descriptor.memory, nullptr))
    return false;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.memory, FALSE};
  return CreateDirectoryW(path.c_str(), &attributes);
}

toolkit::FileHandle OpenPlainEmptyFolder(const std::wstring &path) {
  // No FILE_SHARE_DELETE: nobody can delete, rename or swap the folder for
  // a link while the handle is open.
  toolkit::FileHandle folder(CreateFileW(
      path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!folder)
    return folder;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool plain = GetFileInformationByHandle(folder.Get(), &info) &&
                     (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                     !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  if (!plain) {
    SetLastError(ERROR_ACCESS_DENIED);
    return {};
  }
  // Empty: only "." and ".." when listed through this very handle's path.
  WIN32_FIND_DATAW found;
  const toolkit::FindHandle search(FindFirstFileW((path + L"\\*").c_str(), &found));
  int entries = 0;
  if (search) {
    do
      ++entries;
    while (FindNextFileW(search.Get(), &found));
  }
  if (entries > 2) {
    SetLastError(ERROR_ACCESS_DENIED);
    return {};
  }
  return folder;
}
