// The extraction: the package's files written to a staging folder of the
// run's own, then copied by the shell into the destination in one go.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// How the run reports to the window it runs in.
struct RunCallbacks {
  // After each staged file, with the progress position it reaches (330,
  // 660, 1000), so that the caller can show it and repaint.
  std::function<void(int position)> staged;
  // Every 20 ms or so while the files' bytes are written and checked, and
  // while clean-up waits: the caller answers its window's messages, so that
  // it never looks hung.
  std::function<void()> keepAnswering;
};

// True when the copy completed and every file arrived intact; false when
// the user or the shell canceled it or it delivered less than the package.
// Errors from staging (a damaged package among them) propagate after the
// staging folder is removed.
bool ExtractPackage(HWND owner, const std::wstring &destination, const RunCallbacks &callbacks);
