// Files and the environment, for the tests and the benchmark: scratch
// folders, whole-file reads and writes, and paths given the Unix way.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A new empty folder under the temporary path, removed with all it holds.
class ScratchFolder {
public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder &) = delete;
  ScratchFolder &operator=(const ScratchFolder &) = delete;
  const std::wstring &Path() const { return path_; }
  std::wstring operator/(const std::wstring &name) const { return path_ + L"\\" + name; }

private:
  std::wstring path_;
};

void RemoveTree(const std::wstring &path);
std::string ReadFileBytes(const std::wstring &path);
void WriteFileBytes(const std::wstring &path, const std::string &bytes);
bool Exists(const std::wstring &path);
// Names (not paths) of what lies in a folder, "." and ".." left out.
std::vector<std::wstring> ListFolder(const std::wstring &folder);
// Staging folders ("VELNORIX*") under the temporary path.
std::vector<std::wstring> StagingFoldersInTemp();
std::wstring TempPath();
// A path as Wine's programs see it: a Unix path's root is drive Z:.
std::wstring WindowsPath(const std::string &path);

// Sets an environment variable for the life of the object.
class ScopedEnvironment {
public:
  ScopedEnvironment(const wchar_t *name, const std::wstring &value);
  ~ScopedEnvironment();

private:
  std::wstring name_;
  std::wstring old_;
  bool had_;
};
