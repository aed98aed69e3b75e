// The program's version record (RT_VERSION 1): the product's fixed texts
// and numbers, with the owner's company name and copyright, laid out as the
// resource compiler lays out a VERSIONINFO block.
#pragma once

#include "builder/base/Bytes.h"

#include <map>
#include <string>

// The texts are UTF-8.
Bytes VersionRecord(const std::string &companyName, const std::string &legalCopyright);

// What a version record says, as Windows shows it: the strings of its first
// table (UTF-8) and the fixed part's versions ("4.1.0.0"). Throws
// std::runtime_error when the record is not well formed.
struct VersionFacts {
  std::map<std::string, std::string> strings;
  std::string fileVersion;
  std::string productVersion;
};
VersionFacts ReadVersionRecord(const Bytes &record);
