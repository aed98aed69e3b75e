// The fuzzer's input as a file, for the readers that take a path or a
// platform::File: a memory file, reached by its /proc path, rewritten for
// each input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

inline const std::string &InputFile(const std::uint8_t *data, std::size_t size) {
  static const int fd = memfd_create("fuzz-input", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || ftruncate(fd, 0) != 0 ||
      (size && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)))
    std::abort();
  return path;
}

// A folder of the process's own for what a target writes, removed when it
// exits; made on the first call.
inline const std::string &ScratchFolder() {
  struct Scratch {
    std::string path;
    ~Scratch() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static const Scratch scratch = [] {
    std::string name = "/tmp/makewizard-fuzz-XXXXXX";
    if (!mkdtemp(name.data()))
      std::abort();
    return Scratch{name};
  }();
  return scratch.path;
}
