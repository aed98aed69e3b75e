// The platform's own floor for each phase of the wizard's run, on the very
// bytes a built wizard carries, in the same Wine as the wizard:
//   write: each payload item written from its mapped resource, a chunk at a time
//   copy:  SHFileOperationW of the staged folder into a new folder
//   read:  each delivered file read through once, 16 MiB at a time (one
//          piece would not fit beside a 1 GiB image in a 32-bit process)
//   clean-up: the staged files deleted and their folder removed
// Prints "name milliseconds" lines (medians over the runs).
//   platform_floor WIZARD_EXE RUNS
// Each run starts, as the driver starts the wizard, from a fresh copy of it.
#include "Measure.h"
#include "driver/Files.h"
#include "package/PayloadItem.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring TempFolder(const wchar_t *name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + name;
}

void RemoveFolder(const std::wstring &folder) {
  for (const PayloadFile &item : kPayloadFiles)
    DeleteFileW((folder + item.fileName).c_str());
  RemoveDirectoryW(folder.c_str());
}

struct Phases {
  double write, copy, read, cleanup;
};

Phases OneRun(HMODULE wizard) {
  const std::wstring staging = TempFolder(L"floor-staging");
  const std::wstring target = TempFolder(L"floor-target");
  RemoveFolder(staging);
  RemoveFolder(target);
  Phases phases{};

  double start = Now();
  CreateDirectoryW(staging.c_str(), nullptr);
  for (const PayloadFile &item : kPayloadFiles) {
    const HRSRC resource =
        FindResourceW(wizard, item.resourceName, MAKEINTRESOURCEW(PACKAGE_RESOURCE_TYPE));
    const void *bytes = LockResource(LoadResource(wizard, resource));
    const DWORD size = SizeofResource(wizard, resource);
    const HANDLE file = CreateFileW((staging + item.fileName).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // In pieces of the wizard's chunk size: one WriteFile of hundreds of
    // MiB from a mapped image is slower under Wine than pieces of it.
    for (DWORD done = 0; done < size;) {
      const DWORD piece = std::min<DWORD>(size - done, static_cast<DWORD>(kChunkBytes));
      DWORD written = 0;
      WriteFile(file, static_cast<const char *>(bytes) + done, piece, &written, nullptr);
      done += piece;
    }
    CloseHandle(file);
  }
  phases.write = Now() - start;

  start = Now();
  std::wstring from = staging + L"\\*.*";
  from.push_back(L'\0');
  std::wstring to = target;
  to.push_back(L'\0');
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_COPY;
  operation.pFrom = from.c_str();
  operation.pTo = to.c_str();
  operation.fFlags = FOF_NOCOPYSECURITYATTRIBS;
  SHFileOperationW(&operation);
  phases.copy = Now() - start;

  start = Now();
  std::vector<char> buffer(16 << 20);
  for (const PayloadFile &item : kPayloadFiles) {
    const HANDLE file = CreateFileW((target + item.fileName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    DWORD got = 0;
    while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got)
      ;
    CloseHandle(file);
  }
  phases.read = Now() - start;

  start = Now();
  RemoveFolder(staging);
  phases.cleanup = Now() - start;
  RemoveFolder(target);
  return phases;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: platform_floor WIZARD_EXE RUNS\n");
    return 2;
  }
  std::vector<double> write, copy, read, cleanup;
  for (int i = 0; i < std::atoi(argv[2]); ++i) {
    // As the driver starts the wizard: from a fresh copy in a downloads
    // folder, so that both run with the same memory behind them (a large
    // program's copy is fresh page cache, which costs the next writes).
    const ScratchFolder downloads;
    const std::wstring program = downloads / L"wizard.exe";
    CopyFileW(WindowsPath(argv[1]).c_str(), program.c_str(), FALSE);
    // Mapped as an image, as the loader maps the wizard itself.
    const HMODULE wizard = LoadLibraryExW(
        program.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
    if (!wizard) {
      std::fprintf(stderr, "cannot map %s\n", argv[1]);
      return 1;
    }
    const Phases phases = OneRun(wizard);
    FreeLibrary(wizard);
    write.push_back(phases.write);
    copy.push_back(phases.copy);
    read.push_back(phases.read);
    cleanup.push_back(phases.cleanup);
  }
  std::printf(
      "floor_write_ms %.1f\nfloor_copy_ms %.1f\nfloor_read_ms %.1f\nfloor_cleanup_ms %.1f\n",
      Median(write), Median(copy), Median(read), Median(cleanup));
  return 0;
}
