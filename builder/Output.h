// The wizard written under a temporary name in the output's folder and
// renamed to the output's name only when complete: no half-written wizard
// ever bears that name, whatever stops the build (a full disk, an error, an
// interrupt). On any failure the temporary file is deleted.
#pragma once

#include "builder/Bytes.h"
#include "builder/Platform.h"

#include <optional>
#include <string>

class Output {
public:
  explicit Output(const std::string &path);
  ~Output();
  Output(const Output &) = delete;
  Output &operator=(const Output &) = delete;

  void Write(const std::uint8_t *data, std::size_t size);
  void WriteAt(std::uint64_t offset, const std::uint8_t *data, std::size_t size);
  // Everything written and renamed to the output's name.
  void Commit();

private:
  void Flush();
  [[noreturn]] void Fail(const platform::SystemError &error) const;

  std::string path_;
  std::string temporary_;
  std::optional<platform::File> file_;
  Bytes buffer_;
  bool committed_ = false;
};
