// The program's version record (RT_VERSION 1): the product's fixed texts
// and numbers, with the owner's company name and copyright, laid out as the
// resource compiler lays out a VERSIONINFO block.
#pragma once

#include "builder/Bytes.h"

#include <string>

// The texts are UTF-8.
Bytes VersionRecord(const std::string &companyName, const std::string &legalCopyright);
