#include "package/ProtectedFolder.h"

#include <windows.h>

#include <sddl.h>
#include <winternl.h>

// ntdll (NtCreateFile and friends) is in every process before the program
// starts, so it is never looked for on disk.

#ifndef FILE_CREATE
#define FILE_CREATE 0x00000002
#endif
#ifndef FILE_DIRECTORY_FILE
#define FILE_DIRECTORY_FILE 0x00000001
#endif
#ifndef FILE_SYNCHRONOUS_IO_NONALERT
#define FILE_SYNCHRONOUS_IO_NONALERT 0x00000020
#endif
#ifndef FILE_OPEN_REPARSE_POINT
#define FILE_OPEN_REPARSE_POINT 0x00200000
#endif

namespace {

std::wstring CurrentUserSid() {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
    return L"";
  const win32::KernelObject token(opened);
  alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size))
    return L"";
  win32::LocalMemory<LPWSTR> text;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer)->User.Sid, text.Receive()))
    return L"";
  return text.Get();
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

win32::FileHandle CreateProtectedFolder(const std::wstring &path) {
  win32::LocalMemory<PSECURITY_DESCRIPTOR> descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          ProtectedFolderSddl().c_str(), SDDL_REVISION_1, descriptor.Receive(), nullptr))
    return {};
  UNICODE_STRING ntPath{};
  if (!RtlDosPathNameToNtPathName_U(path.c_str(), &ntPath, nullptr, nullptr)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return {};
  }
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &ntPath, OBJ_CASE_INSENSITIVE, nullptr, descriptor.Get());
  IO_STATUS_BLOCK io{};
  HANDLE folder = INVALID_HANDLE_VALUE;
  // FILE_CREATE: only a new folder, never whatever already lies there. No
  // FILE_SHARE_DELETE: nobody may delete or rename it while we hold it.
  const NTSTATUS status = NtCreateFile(
      &folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &io, nullptr,
      FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
      FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  RtlFreeUnicodeString(&ntPath);
  if (!NT_SUCCESS(status)) {
    SetLastError(RtlNtStatusToDosError(status));
    return {};
  }
  return win32::FileHandle(folder);
}
