// How long the run waits for what another program holds open: a virus
// scanner, the indexer or a cloud client often opens a file for a moment
// just after it was written. The clean-up and the delivery check wait alike.
#pragma once

#include <windows.h>

#include <functional>

struct Patience {
  int attempts = 20;
  DWORD pauseMilliseconds = 100;      // two seconds in all
  std::function<void()> whileWaiting; // between attempts, e.g. to keep the window answering
};
