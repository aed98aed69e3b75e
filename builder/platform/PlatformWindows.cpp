// Windows: wide-character calls on \\?\ paths, so that paths longer than
// MAX_PATH work without the system-wide long-path setting.
#include "builder/platform/Platform.h"

#include "builder/base/TextRules.h"
#include "builder/base/Utf.h"

#include <windows.h>

#include <memory>

namespace platform {

const char kSeparator = '\\';

namespace {

std::wstring Wide(const std::string &utf8) {
  if (utf8.empty())
    return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::string Narrow(const std::wstring &wide) {
  if (wide.empty())
    return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                      nullptr, nullptr);
  return utf8;
}

std::wstring FullPath(const std::wstring &path) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (size == 0)
      return path;
    if (size < full.size()) {
      full.resize(size);
      return full;
    }
    full.resize(size);
  }
}

// The \\?\ form of an absolute path: no length limit, no reinterpretation.
std::wstring SystemPath(const std::string &path) {
  const std::wstring full = FullPath(Wide(path));
  if (full.rfind(L"\\\\?\\", 0) == 0)
    return full;
  if (full.rfind(L"\\\\", 0) == 0)
    return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::string Reason(DWORD code) {
  wchar_t *text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
  std::wstring reason = text ? text : L"";
  LocalFree(text);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                             reason.back() == L'.' || reason.back() == L' '))
    reason.pop_back();
  if (reason.empty())
    reason = L"system error " + std::to_wstring(code);
  return Narrow(reason);
}

[[noreturn]] void Fail() {
  const DWORD code = GetLastError();
  throw SystemError(Reason(code), code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL);
}

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

std::wstring interruptPath;
CRITICAL_SECTION interruptLock;
const bool interruptLockReady = (InitializeCriticalSection(&interruptLock), true);

BOOL WINAPI OnInterrupt(DWORD) {
  EnterCriticalSection(&interruptLock);
  if (!interruptPath.empty())
    DeleteFileW(interruptPath.c_str());
  LeaveCriticalSection(&interruptLock);
  return FALSE;
}

} // namespace

std::string AbsolutePath(const std::string &path) { return Narrow(FullPath(Wide(path))); }

std::string JoinPath(const std::string &folder, const std::string &name) {
  return !folder.empty() && (folder.back() == '\\' || folder.back() == '/') ? folder + name
                                                                            : folder + "\\" + name;
}

std::string ParentFolder(const std::string &path) {
  const std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos)
    return path;
  // A drive's root keeps its separator.
  return slash == 2 && path[1] == ':' ? path.substr(0, 3) : path.substr(0, slash);
}

Kind KindOf(const std::string &path, std::string *reason) {
  const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
      return Kind::Missing;
    if (reason)
      *reason = Reason(code);
    return Kind::Unknown;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    return Kind::Folder;
  return attributes & FILE_ATTRIBUTE_DEVICE ? Kind::Other : Kind::File;
}

bool ListFolder(const std::string &folder, const std::function<void(const std::string &)> &each) {
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW((SystemPath(folder) + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  const std::unique_ptr<void, BOOL(WINAPI *)(HANDLE)> closer(search, FindClose);
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..")
      each(Narrow(name));
  } while (FindNextFileW(search, &entry));
  return GetLastError() == ERROR_NO_MORE_FILES;
}

std::optional<FileId> IdOf(const std::string &path) {
  const HANDLE file = CreateFileW(SystemPath(path).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information;
  const BOOL known = GetFileInformationByHandle(file, &information);
  CloseHandle(file);
  if (!known)
    return std::nullopt;
  return FileId{information.dwVolumeSerialNumber,
                std::uint64_t(information.nFileIndexHigh) << 32 | information.nFileIndexLow};
}

File File::OpenRead(const std::string &path) {
  // CreateFileW opens no folder without FILE_FLAG_BACKUP_SEMANTICS, but says
  // only "access is denied".
  if (KindOf(path) == Kind::Folder)
    throw SystemError("it is a folder", false);
  const HANDLE handle = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    Fail();
  File file(reinterpret_cast<std::intptr_t>(handle));
  // Only files on a disk: a pipe would block the read, a console or a port
  // may never end.
  const DWORD type = GetFileType(handle);
  if (type == FILE_TYPE_PIPE)
    throw SystemError("it is a named pipe, not a file", false);
  if (type != FILE_TYPE_DISK)
    throw SystemError("it is a device, not a file", false);
  return file;
}

File File::CreateNew(const std::string &path, bool) {
  // Shared for deletion, so that an interrupt can remove it while it is open.
  const HANDLE file = CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    Fail();
  return File(reinterpret_cast<std::intptr_t>(file));
}

File::File(File &&other) noexcept : handle_(other.handle_) {
  other.handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
}

File::~File() {
  if (Handle(handle_) != INVALID_HANDLE_VALUE)
    CloseHandle(Handle(handle_));
}

std::uint64_t File::Size() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Handle(handle_), &size))
    Fail();
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t File::Read(std::uint8_t *data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    DWORD got = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    if (!ReadFile(Handle(handle_), data + done, ask, &got, nullptr))
      Fail();
    if (got == 0)
      break;
    done += got;
  }
  return done;
}

void File::ReadAt(std::uint64_t offset, std::uint8_t *data, std::size_t size) {
  while (size) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(Handle(handle_), data, ask, &got, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF)
        throw SystemError("the file ends early", false);
      Fail();
    }
    if (got == 0)
      throw SystemError("the file ends early", false);
    data += got;
    size -= got;
    offset += got;
  }
}

namespace {

// Every byte written, at the file's position, or from *offset on.
void WriteAll(HANDLE file, const std::uint8_t *data, std::size_t size, std::uint64_t *offset) {
  while (size) {
    OVERLAPPED at = {};
    if (offset) {
      at.Offset = static_cast<DWORD>(*offset);
      at.OffsetHigh = static_cast<DWORD>(*offset >> 32);
    }
    DWORD put = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!WriteFile(file, data, ask, &put, offset ? &at : nullptr))
      Fail();
    data += put;
    size -= put;
    if (offset)
      *offset += put;
  }
}

} // namespace

void File::Write(const std::uint8_t *data, std::size_t size) {
  WriteAll(Handle(handle_), data, size, nullptr);
}

void File::WriteAt(std::uint64_t offset, const std::uint8_t *data, std::size_t size) {
  WriteAll(Handle(handle_), data, size, &offset);
}

void File::Close() {
  const HANDLE file = Handle(handle_);
  handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
  if (!CloseHandle(file))
    Fail();
}

void Rename(const std::string &from, const std::string &to) {
  if (!MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    Fail();
}

void RenameNew(const std::string &from, const std::string &to) {
  if (!MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), MOVEFILE_WRITE_THROUGH))
    Fail();
}

void CreateFolder(const std::string &path) {
  if (!CreateDirectoryW(SystemPath(path).c_str(), nullptr))
    Fail();
}

void Remove(const std::string &path) noexcept { DeleteFileW(SystemPath(path).c_str()); }

void RemoveOnInterrupt(const std::string &path) {
  (void)interruptLockReady;
  EnterCriticalSection(&interruptLock);
  interruptPath = path.empty() ? std::wstring() : SystemPath(path);
  LeaveCriticalSection(&interruptLock);
  SetConsoleCtrlHandler(OnInterrupt, !path.empty());
}

std::uint32_t ProcessId() { return GetCurrentProcessId(); }

std::string MisquotedArgument(const std::string &argument) {
  // No Windows path holds a quote: one in an argument was left there by the
  // splitting of the command line, which takes \" for a quote that belongs
  // to the argument ("C:\My Package\" joins what follows to the folder).
  if (argument.find('"') == std::string::npos)
    return {};
  // Shown between < and >, which no Windows path holds either.
  const std::string shown = "the argument <" + Escaped(argument, kSeparator) + "> holds a quote";
  // The raw command line shows whether a backslash before a quote is the cause.
  if (std::wstring(GetCommandLineW()).find(L"\\\"") == std::wstring::npos)
    return shown + ", which no Windows path can.";
  return shown + ", left there by a backslash before a closing quote (\\\"), which also joins " +
         "what follows: end a quoted folder without its backslash, as in \"C:\\My Package\".";
}

namespace {

void Print(DWORD stream, const std::string &message) {
  const HANDLE handle = GetStdHandle(stream);
  DWORD mode, written;
  // A console shows UTF-16; a pipe or file gets the UTF-8 bytes.
  if (GetConsoleMode(handle, &mode)) {
    const std::wstring wide = Wide(message + "\n");
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    const std::string line = message + "\n";
    WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
}

} // namespace

void PrintError(const std::string &message) { Print(STD_ERROR_HANDLE, message); }
void PrintOut(const std::string &message) { Print(STD_OUTPUT_HANDLE, message); }

} // namespace platform

int wmain(int argc, wchar_t **argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i)
    arguments.push_back(platform::Narrow(argv[i]));
  return MakeWizardMain(arguments);
}
