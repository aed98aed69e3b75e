#include "toolkit/Colours.h"

#include <algorithm>

namespace toolkit {

namespace {

// The fifth root of `value` in (0, 1], by Newton's steps: the C library's
// pow would add more code to the program than the whole colour logic.
double FifthRoot(double value) {
  double root = 1;
  for (int step = 0; step < 40; ++step) {
    const double fourth = root * root * root * root;
    const double next = root - (fourth * root - value) / (5 * fourth);
    if (next == root)
      break;
    root = next;
  }
  return root;
}

// A channel's share of light: the sRGB curve, (c + 0.055) / 1.055 to the
// power 2.4, which is its square times the fifth root of its square.
double Linear(BYTE channel) {
  const double c = channel / 255.0;
  if (c <= 0.03928)
    return c / 12.92;
  const double square = (c + 0.055) / 1.055 * ((c + 0.055) / 1.055);
  return square * FifthRoot(square);
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
