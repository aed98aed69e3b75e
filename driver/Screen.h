// What a person sees on the screen: the pixels, how readable each label is
// there, and the colour schemes a person may choose.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// The screen as it is now, pixel by pixel.
class Screen {
public:
  Screen();
  COLORREF At(int x, int y) const;
  // Saves it as a bitmap file.
  void Save(const std::wstring &path) const;
  // The contrast between what lies behind a label (its commonest colour)
  // and its text, from 1 to 21: the contrast that most of the text's pixels
  // (every other colour) reach, so that a few stray ones decide nothing.
  double Contrast(const RECT &area) const;
  // The commonest colour in the area: what lies behind a label.
  COLORREF Ground(const RECT &area) const;
  // How many pixels of the area differ between the two screens.
  int Differences(const Screen &other, const RECT &area) const;

private:
  std::map<COLORREF, int> Counts(const RECT &area) const;
  int width_, height_;
  std::vector<DWORD> pixels_;
};

struct MeasuredLabel {
  std::wstring text;
  double contrast;
  COLORREF ground; // what lies behind the text
};
// Every label with text that `window` shows now (inside panels too), with
// its contrast on the screen as it is drawn there now.
std::vector<MeasuredLabel> MeasureLabels(HWND window);

struct SchemeColour {
  int element;
  COLORREF colour;
};
// What Windows' High Contrast Black and High Contrast White schemes set for
// what the wizard's pages show.
extern const std::vector<SchemeColour> kHighContrastBlack;
extern const std::vector<SchemeColour> kHighContrastWhite;

// The system's colours for the life of the object, then the old ones again.
// Under Wine they last as long as the wineserver, and a program already
// running keeps the colours it started with: only a new one, or the
// program that sets them, sees them.
class SystemColours {
public:
  explicit SystemColours(const std::vector<SchemeColour> &scheme);
  ~SystemColours();
  SystemColours(const SystemColours &) = delete;
  SystemColours &operator=(const SystemColours &) = delete;

private:
  std::vector<SchemeColour> old_;
};
