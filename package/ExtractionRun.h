// The extraction: the package's files written to a staging folder of the
// run's own, then copied by the shell into the destination in one go.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Called after each staged file with the progress position it reaches
// (330, 660, 1000), so that the caller can show it and repaint.
using StagedFileCallback = std::function<void(int position)>;

// True when the copy completed and every file arrived intact; false when
// the user or the shell canceled it or it delivered less than the package.
// Errors from staging propagate after the staging folder is removed.
bool ExtractPackage(HWND owner, const std::wstring &destination,
                    const StagedFileCallback &onStaged);
