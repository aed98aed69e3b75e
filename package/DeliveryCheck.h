// Whether the package's files really are in a folder, byte for byte.
#pragma once

#include "package/Patience.h"
#include "package/PayloadItem.h"

#include <string>

// True when `path` holds exactly the stream's bytes. Reads a chunk at a
// time, so memory does not grow with the file, and runs
// `patience.whileWaiting` after each, so that the window keeps answering.
// A file that another program holds without letting others read it is
// tried again with that patience; false when it stays held.
bool FileMatches(const std::wstring &path, const PayloadStream &stream,
                 const Patience &patience = {});
