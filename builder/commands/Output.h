// A file written under a temporary name in its folder and renamed to its
// own name only when complete: no half-written file ever bears that name,
// whatever stops the writing (a full disk, an error, an interrupt). On any
// failure the temporary file is deleted.
#pragma once

#include "builder/base/Bytes.h"
#include "builder/base/Refusal.h"
#include "builder/base/Sha256.h"
#include "builder/platform/Platform.h"

#include <functional>
#include <optional>
#include <string>

class Output {
public:
  // The refusal the user gets when the system fails to write.
  using Failure = std::function<Refusal(const platform::SystemError &error)>;
  enum class Existing { Replace, Keep };

  // With Existing::Keep, Commit fails rather than replace a file that
  // appeared under the name meanwhile.
  Output(const std::string &path, Failure failure, Existing existing = Existing::Replace,
         bool executable = true);
  ~Output();
  Output(const Output &) = delete;
  Output &operator=(const Output &) = delete;

  void Write(const std::uint8_t *data, std::size_t size);
  void WriteAt(std::uint64_t offset, const std::uint8_t *data, std::size_t size);
  // Everything written and renamed to the output's name; with `digest`,
  // the file is read back first and its SHA-256 stored there.
  void Commit(Digest *digest = nullptr);

private:
  void Flush();
  [[noreturn]] void Fail(const platform::SystemError &error) const;

  std::string path_;
  Failure failure_;
  Existing existing_;
  std::string temporary_;
  std::optional<platform::File> file_;
  Bytes buffer_;
  bool committed_ = false;
};
