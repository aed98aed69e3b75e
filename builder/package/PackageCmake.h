// package.cmake as owners write it: set(NAME "value") lines with CMake's
// quoted-argument escapes, comments and blank lines. It is read, never run:
// anything else is refused with its line number.
#pragma once

#include <iterator>
#include <map>
#include <string>

// The settings it may hold, each at most once, in the order messages name
// them. The product name, its version and the file names are the stub's.
inline constexpr const char kCompanyName[] = "PACKAGE_COMPANY_NAME";
inline constexpr const char kLegalCopyright[] = "PACKAGE_LEGAL_COPYRIGHT";
inline constexpr const char kIdentityName[] = "PACKAGE_IDENTITY_NAME";
inline constexpr const char *kSettings[] = {kCompanyName, kLegalCopyright, kIdentityName};

// The value of each setting the file makes, as the bytes the file holds
// after CMake's escapes. Refuses a file that is not UTF-8 by its marks, a
// setting it does not know (with the nearest it knows) and one set twice.
std::map<std::string, std::string> ReadPackageCmake(const std::string &path,
                                                    const std::string &content);
