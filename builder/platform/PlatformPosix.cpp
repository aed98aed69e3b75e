// 64-bit file offsets on 32-bit hosts too, set before any system header:
// a file of 2 GiB or more (a payload file above the ceiling, anything given
// to show) is then read or refused by its size, not failed by the system.
#define _FILE_OFFSET_BITS 64

#include "builder/platform/Platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

static_assert(sizeof(off_t) == 8, "makewizard reads files of 2 GiB and more");

namespace platform {

const char kSeparator = '/';

namespace {

[[noreturn]] void Fail() {
  const int code = errno;
  throw SystemError(std::strerror(code), code == ENOSPC || code == EDQUOT || code == EFBIG);
}

// Written before the handler can run, read only by it: a fixed buffer, as
// a signal handler may not allocate.
char interruptPath[4096];

void OnInterrupt(int signal) {
  if (interruptPath[0])
    unlink(interruptPath);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

} // namespace

std::string AbsolutePath(const std::string &path) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    std::vector<char> cwd(4096);
    while (!getcwd(cwd.data(), cwd.size())) {
      if (errno != ERANGE)
        Fail();
      cwd.resize(cwd.size() * 2);
    }
    joined = std::string(cwd.data()) + "/" + path;
  }
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= joined.size()) {
    std::size_t end = joined.find('/', start);
    if (end == std::string::npos)
      end = joined.size();
    const std::string part = joined.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty())
        parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string tidy;
  for (const auto &part : parts)
    tidy += "/" + part;
  return tidy.empty() ? "/" : tidy;
}

std::string JoinPath(const std::string &folder, const std::string &name) {
  return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string ParentFolder(const std::string &path) {
  const std::size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

Kind KindOf(const std::string &path, std::string *reason) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return Kind::Missing;
    if (reason)
      *reason = std::strerror(errno);
    return Kind::Unknown;
  }
  if (S_ISREG(status.st_mode))
    return Kind::File;
  return S_ISDIR(status.st_mode) ? Kind::Folder : Kind::Other;
}

std::optional<FileId> IdOf(const std::string &path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0)
    return std::nullopt;
  return FileId{static_cast<std::uint64_t>(status.st_dev),
                static_cast<std::uint64_t>(status.st_ino)};
}

bool ListFolder(const std::string &folder, const std::function<void(const std::string &)> &each) {
  const std::unique_ptr<DIR, int (*)(DIR *)> entries(opendir(folder.c_str()), closedir);
  if (!entries)
    return false;
  while (const dirent *entry = readdir(entries.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..")
      each(name);
  }
  return true;
}

namespace {

// Why a file of this mode is not read: only regular files are. A FIFO would
// block the read until someone writes, a device may never end.
const char *NotRegular(mode_t mode) {
  if (S_ISREG(mode))
    return nullptr;
  if (S_ISDIR(mode))
    return "it is a folder";
  if (S_ISFIFO(mode))
    return "it is a named pipe, not a file";
  if (S_ISSOCK(mode))
    return "it is a socket, not a file";
  if (S_ISCHR(mode) || S_ISBLK(mode))
    return "it is a device, not a file";
  return "it is not a regular file";
}

} // namespace

File File::OpenRead(const std::string &path) {
  // Looked at before it is opened, as opening a device can act on it; then
  // opened without waiting (a FIFO swapped in meanwhile would block the
  // open) and checked again through the descriptor itself.
  struct stat status;
  if (stat(path.c_str(), &status) != 0)
    Fail();
  if (const char *why = NotRegular(status.st_mode))
    throw SystemError(why, false);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0)
    Fail();
  File file(fd);
  if (fstat(fd, &status) != 0)
    Fail();
  if (const char *why = NotRegular(status.st_mode))
    throw SystemError(why, false);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    Fail();
  return file;
}

File File::CreateNew(const std::string &path, bool executable) {
  const int fd =
      open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, executable ? 0777 : 0666);
  if (fd < 0)
    Fail();
  return File(fd);
}

File::File(File &&other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

File::~File() {
  if (handle_ >= 0)
    close(static_cast<int>(handle_));
}

std::uint64_t File::Size() const {
  struct stat status;
  if (fstat(static_cast<int>(handle_), &status) != 0)
    Fail();
  return static_cast<std::uint64_t>(status.st_size);
}

std::size_t File::Read(std::uint8_t *data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = read(static_cast<int>(handle_), data + done, size - done);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      Fail();
    if (got == 0)
      break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void File::ReadAt(std::uint64_t offset, std::uint8_t *data, std::size_t size) {
  while (size) {
    const ssize_t got = pread(static_cast<int>(handle_), data, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      Fail();
    if (got == 0)
      throw SystemError("the file ends early", false);
    data += got;
    size -= static_cast<std::size_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
}

namespace {

// Every byte written, at the file's position, or from *offset on.
void WriteAll(int fd, const std::uint8_t *data, std::size_t size, std::uint64_t *offset) {
  while (size) {
    const ssize_t put =
        offset ? pwrite(fd, data, size, static_cast<off_t>(*offset)) : write(fd, data, size);
    if (put < 0 && errno == EINTR)
      continue;
    if (put < 0)
      Fail();
    data += put;
    size -= static_cast<std::size_t>(put);
    if (offset)
      *offset += static_cast<std::uint64_t>(put);
  }
}

} // namespace

void File::Write(const std::uint8_t *data, std::size_t size) {
  WriteAll(static_cast<int>(handle_), data, size, nullptr);
}

void File::WriteAt(std::uint64_t offset, const std::uint8_t *data, std::size_t size) {
  WriteAll(static_cast<int>(handle_), data, size, &offset);
}

void File::Close() {
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  if (close(fd) != 0)
    Fail();
}

void Rename(const std::string &from, const std::string &to) {
  if (rename(from.c_str(), to.c_str()) != 0)
    Fail();
}

void RenameNew(const std::string &from, const std::string &to) {
  // A second link fails when the name is taken, where rename would replace.
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return;
  }
  // File systems without links (FAT, some network shares): a smaller window.
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != ENOSYS &&
      errno != EMLINK)
    Fail();
  std::string reason;
  const Kind kind = KindOf(to, &reason);
  if (kind == Kind::Unknown)
    throw SystemError(reason, false);
  if (kind != Kind::Missing) {
    errno = EEXIST;
    Fail();
  }
  Rename(from, to);
}

void CreateFolder(const std::string &path) {
  if (mkdir(path.c_str(), 0777) != 0)
    Fail();
}

void Remove(const std::string &path) noexcept { unlink(path.c_str()); }

void RemoveOnInterrupt(const std::string &path) {
  static const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  if (path.size() >= sizeof interruptPath)
    return;
  if (path.empty()) {
    for (const int signal : kSignals)
      if (std::signal(signal, SIG_DFL) == SIG_IGN)
        std::signal(signal, SIG_IGN);
    interruptPath[0] = 0;
    return;
  }
  std::memcpy(interruptPath, path.c_str(), path.size() + 1);
  // A signal the builder was started to ignore stays ignored.
  for (const int signal : kSignals)
    if (std::signal(signal, OnInterrupt) == SIG_IGN)
      std::signal(signal, SIG_IGN);
}

std::uint32_t ProcessId() { return static_cast<std::uint32_t>(getpid()); }

// The shell has taken the quotes away: a quote left in an argument was meant.
std::string MisquotedArgument(const std::string &) { return {}; }

// The message and its line end written apart: no copy of a long one.
void PrintError(const std::string &message) {
  std::fputs(message.c_str(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void PrintOut(const std::string &message) {
  std::fputs(message.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

} // namespace platform
