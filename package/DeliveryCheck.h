// Whether the package's files really are in a folder, byte for byte.
#pragma once

#include "package/PayloadItem.h"

#include <functional>
#include <string>

// True when `path` holds exactly the stream's bytes. Reads a chunk at a
// time, so memory does not grow with the file, and runs `betweenChunks`
// after each, so that the window keeps answering.
bool FileMatches(const std::wstring &path, const PayloadStream &stream,
                 const std::function<void()> &betweenChunks = {});
