// How long the run waits for what another program holds open: a virus
// scanner, the indexer or a cloud client often opens a file for a moment
// just after it was written. The clean-up and the delivery check wait alike.
#pragma once

#include "win32/Handle.h"

#include <windows.h>

#include <functional>

struct Patience {
  int attempts = 20;
  DWORD pauseMilliseconds = 100;      // two seconds in all
  std::function<void()> whileWaiting; // between attempts, e.g. to keep the window answering
};

// open() again after each pause while another program's handle denies the
// sharing asked for; anything else (a missing file) is answered at once.
// GetLastError() still tells why when the handle returned is empty.
template <typename Open>
win32::FileHandle OpenWaitingForHolders(const Patience &patience, const Open &open) {
  win32::FileHandle file(open());
  for (int attempt = 1;
       !file && GetLastError() == ERROR_SHARING_VIOLATION && attempt < patience.attempts;
       ++attempt) {
    Sleep(patience.pauseMilliseconds);
    if (patience.whileWaiting)
      patience.whileWaiting();
    file.Reset(open());
  }
  return file;
}
