// What the builder needs of the system, behind one small interface: paths
// (UTF-8 everywhere in the builder), files with 64-bit offsets, renaming,
// messages. PlatformPosix.cpp and PlatformWindows.cpp implement it.
#pragma once

#include "builder/base/TextRules.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

extern const char kSeparator;

// The path made absolute and tidied (no "." or ".." parts), as Python's
// os.path.abspath does, so that messages name files the same way wherever
// the builder is started.
std::string AbsolutePath(const std::string &path);
std::string JoinPath(const std::string &folder, const std::string &name);
// The folder an absolute path lies in.
std::string ParentFolder(const std::string &path);

// A path as messages show it, whoever named the file: Escaped, with the
// system's own separator kept.
inline std::string Shown(const std::string &path) { return Escaped(path, kSeparator); }

// Missing only when nothing is there (or a part on the way is a file);
// Unknown when the system would not say (no permission, a loop of links, a
// name too long), with its reason in `reason`.
enum class Kind { Missing, File, Folder, Other, Unknown };
Kind KindOf(const std::string &path, std::string *reason = nullptr);

// Calls `each` with the name of every entry of the folder but "." and "..",
// in no particular order; false when the folder cannot be listed.
bool ListFolder(const std::string &folder, const std::function<void(const std::string &)> &each);

// Names one file whatever path reaches it (links, case, "..").
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileId &other) const {
    return volume == other.volume && index == other.index;
  }
};
std::optional<FileId> IdOf(const std::string &path);

// A failed system call: what() is the system's own reason.
class SystemError : public std::runtime_error {
public:
  SystemError(const std::string &reason, bool diskFull)
      : std::runtime_error(reason), diskFull(diskFull) {}
  bool diskFull;
};

class File {
public:
  static File OpenRead(const std::string &path);
  // Fails when the path exists: never takes over another's file. Where
  // files have modes, one that is not `executable` gets no execute bits.
  static File CreateNew(const std::string &path, bool executable = true);
  File(File &&other) noexcept;
  File &operator=(File &&other) = delete;
  File(const File &) = delete;
  ~File();

  std::uint64_t Size() const;
  // Reads on from the current position; fewer bytes only at the end.
  std::size_t Read(std::uint8_t *data, std::size_t size);
  // Exactly `size` bytes at `offset`, or SystemError.
  void ReadAt(std::uint64_t offset, std::uint8_t *data, std::size_t size);
  void Write(const std::uint8_t *data, std::size_t size);
  void WriteAt(std::uint64_t offset, const std::uint8_t *data, std::size_t size);
  // Reports what the system could not write until now.
  void Close();

private:
  explicit File(std::intptr_t handle) : handle_(handle) {}
  std::intptr_t handle_;
};

// Replaces `to` with `from` in one step.
void Rename(const std::string &from, const std::string &to);
// Gives `from` the name `to`, failing when `to` exists.
void RenameNew(const std::string &from, const std::string &to);
// One folder, in a folder that exists.
void CreateFolder(const std::string &path);
void Remove(const std::string &path) noexcept;
// Deletes the path when the builder is interrupted (Ctrl+C, a terminal
// closed, a polite kill); an empty path forgets it.
void RemoveOnInterrupt(const std::string &path);

std::uint32_t ProcessId();
// Why an argument cannot be what was typed, where the system's splitting
// of the command line explains it (on Windows, a quote kept by the
// backslash before it); empty when nothing does.
std::string MisquotedArgument(const std::string &argument);
void PrintError(const std::string &message);
void PrintOut(const std::string &message);

} // namespace platform

// The builder's entry, called with the arguments in UTF-8.
int MakeWizardMain(const std::vector<std::string> &arguments);
