// The keyboard interface of a standard Windows dialog, for a form whose
// controls lie in panels: Tab and Shift+Tab through every tab stop in
// keyboard order, in and out of the panels; the arrow keys within a group
// of radio buttons; mnemonics; Enter only on a focused push button; Escape
// on nothing.
#pragma once

#include <windows.h>

#include <vector>

namespace toolkit {

// Whether the window can hold the focus now: shown (its parents too) and enabled.
bool CanTakeFocus(HWND window);

// Every control under `form` that Tab stops at now, in keyboard order
// (stacking order, looking into panels that are shown).
std::vector<HWND> TabStops(HWND form);

// Moves the focus to the next (or previous) tab stop after `from`, wrapping
// around; false when there is none.
bool MoveFocusByTab(HWND form, HWND from, bool previous);

// Handles a keyboard message meant for the form or one of its controls, as
// a dialog would; true when it was used up.
bool HandleDialogKey(HWND form, const MSG &msg);

} // namespace toolkit
