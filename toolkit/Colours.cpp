#include "toolkit/Colours.h"

#include <algorithm>
#include <cmath>

namespace toolkit {

namespace {

double Linear(BYTE channel) {
  const double c = channel / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(COLORREF colour) {
  return 0.2126 * Linear(GetRValue(colour)) + 0.7152 * Linear(GetGValue(colour)) +
         0.0722 * Linear(GetBValue(colour));
}

bool ReadHighContrast() {
  HIGHCONTRASTW settings{sizeof settings, 0, nullptr};
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof settings, &settings, 0) &&
         (settings.dwFlags & HCF_HIGHCONTRASTON);
}

bool &HighContrast() {
  static bool on = ReadHighContrast();
  return on;
}

} // namespace

double ContrastRatio(COLORREF first, COLORREF second) {
  const double a = Luminance(first), b = Luminance(second);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

bool HighContrastOn() { return HighContrast(); }

void RereadHighContrast() { HighContrast() = ReadHighContrast(); }

bool FixedColourGivesWay(COLORREF fixed) {
  // The flag alone is not enough: a scheme of dark colours need not set it,
  // and then white would still carry white text.
  return HighContrastOn() ||
         ContrastRatio(fixed, GetSysColor(COLOR_WINDOWTEXT)) < kReadableContrast;
}

} // namespace toolkit
