#include "driver/Files.h"

#include <filesystem>
#include <fstream>
#include <iterator>

std::wstring TempPath() {
  wchar_t buffer[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, buffer);
  return buffer;
}

std::wstring WindowsPath(const std::string &path) {
  std::wstring wide(path.begin(), path.end());
  for (wchar_t &c : wide)
    if (c == L'/')
      c = L'\\';
  return wide.starts_with(L"\\") ? L"Z:" + wide : wide;
}

ScratchFolder::ScratchFolder() {
  static int counter = 0;
  path_ = TempPath() + L"wizard-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(++counter);
  RemoveTree(path_);
  CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

void RemoveTree(const std::wstring &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(path.c_str());
    return;
  }
  for (const std::wstring &name : ListFolder(path))
    RemoveTree(path + L"\\" + name);
  RemoveDirectoryW(path.c_str());
}

std::vector<std::wstring> ListFolder(const std::wstring &folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..")
      names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

std::vector<std::wstring> StagingFoldersInTemp() {
  std::vector<std::wstring> staging;
  for (const std::wstring &name : ListFolder(TempPath().substr(0, TempPath().size() - 1)))
    if (name.rfind(L"VELNORIX", 0) == 0)
      staging.push_back(name);
  return staging;
}

std::string ReadFileBytes(const std::wstring &path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::wstring &path, const std::string &bytes) {
  std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

bool Exists(const std::wstring &path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

ScopedEnvironment::ScopedEnvironment(const wchar_t *name, const std::wstring &value) : name_(name) {
  wchar_t buffer[32768];
  const DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
  had_ = length > 0;
  old_.assign(buffer, length);
  SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
  SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr);
}
