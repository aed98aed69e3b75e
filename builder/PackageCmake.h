// package.cmake as owners write it: set(NAME "value") lines with CMake's
// quoted-argument escapes, comments and blank lines. It is read, never run:
// anything else is refused with its line number.
#pragma once

#include <map>
#include <string>

// The value each setting is given last, as the bytes the file holds after
// CMake's escapes.
std::map<std::string, std::string> ReadPackageCmake(const std::string &path,
                                                    const std::string &content);
