// Why makewizard cannot build: one message for the package's owner that
// names the file or argument, says what is wrong and what to do.
#pragma once

#include <stdexcept>
#include <string>

class Refusal : public std::runtime_error {
public:
  explicit Refusal(const std::string &message) : std::runtime_error(message) {}
};
