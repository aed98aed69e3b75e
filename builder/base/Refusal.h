// Why makewizard cannot build: one message for the package's owner that
// names the file or argument, says what is wrong and what to do.
#pragma once

#include <stdexcept>
#include <string>

class Refusal : public std::runtime_error {
public:
  explicit Refusal(const std::string &message) : std::runtime_error(message) {}
};

// The message for a file the system would not let makewizard read;
// `reason` is the system's own.
inline std::string CannotRead(const std::string &path, const std::string &reason) {
  return path + " cannot be read (" + reason + "): check that it is a file you may read.";
}
// The message for a path the system would not look at; `reason` is its own.
inline std::string CannotReach(const std::string &path, const std::string &reason) {
  return path + " cannot be reached (" + reason +
         "): check the path, and that you may open each folder on its way.";
}
