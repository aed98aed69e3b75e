// Whether the package's files really are in a folder, byte for byte.
#pragma once

#include "package/PayloadItem.h"

#include <string>

// True when `path` holds exactly the stream's bytes. Reads in bounded
// chunks, so memory does not grow with the file.
bool FileMatches(const std::wstring &path, const PayloadStream &stream);
