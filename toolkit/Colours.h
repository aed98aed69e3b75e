// The colours the toolkit draws in. Controls take the user's colour scheme;
// a panel or picture of a fixed colour (a white band, a navy stripe) keeps
// it only while the scheme's text stays readable on it and no high-contrast
// scheme is on: otherwise it gives way to the scheme's window colours, as
// Windows' own dialogs do.
#pragma once

#include <windows.h>

namespace toolkit {

// The contrast ratio of two colours as the accessibility guidelines define
// it, from 1 (the same) to 21 (black on white).
double ContrastRatio(COLORREF first, COLORREF second);
// The least ratio at which text counts as readable.
inline constexpr double kReadableContrast = 4.5;

// Whether the user chose a high-contrast scheme, as Windows says. Read once
// and again whenever the system's colours or settings change.
bool HighContrastOn();
void RereadHighContrast();

// Whether the scheme's window text would not be readable on `fixed`, or a
// high-contrast scheme is on: what is drawn in `fixed` then gives way.
bool FixedColourGivesWay(COLORREF fixed);

} // namespace toolkit
