#include "driver/Screen.h"

#include "driver/Callbacks.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

double Luminance(COLORREF colour) {
  const auto linear = [](BYTE channel) {
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(GetRValue(colour)) + 0.7152 * linear(GetGValue(colour)) +
         0.0722 * linear(GetBValue(colour));
}

void SetColours(const std::vector<SchemeColour> &scheme) {
  std::vector<int> elements;
  std::vector<COLORREF> colours;
  for (const SchemeColour &entry : scheme) {
    elements.push_back(entry.element);
    colours.push_back(entry.colour);
  }
  SetSysColors(static_cast<int>(elements.size()), elements.data(), colours.data());
}

std::wstring TextOf(HWND window) {
  std::wstring text(GetWindowTextLengthW(window) + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
  return text;
}

BOOL CALLBACK CollectLabel(HWND window, LPARAM found) {
  return Guarded([&]() -> BOOL {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    const LONG type = GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK;
    if (_wcsicmp(name, L"Static") == 0 && type <= SS_RIGHT && IsWindowVisible(window) &&
        GetWindowTextLengthW(window) > 0)
      reinterpret_cast<std::vector<HWND> *>(found)->push_back(window);
    return TRUE;
  });
}

} // namespace

const std::vector<SchemeColour> kHighContrastBlack = {{COLOR_WINDOW, RGB(0, 0, 0)},
                                                      {COLOR_WINDOWTEXT, RGB(255, 255, 255)},
                                                      {COLOR_BTNFACE, RGB(0, 0, 0)},
                                                      {COLOR_BTNTEXT, RGB(255, 255, 255)},
                                                      {COLOR_GRAYTEXT, RGB(0, 255, 0)},
                                                      {COLOR_HIGHLIGHT, RGB(128, 0, 128)},
                                                      {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)}};
const std::vector<SchemeColour> kHighContrastWhite = {
    {COLOR_WINDOW, RGB(255, 255, 255)},       {COLOR_WINDOWTEXT, RGB(0, 0, 0)},
    {COLOR_BTNFACE, RGB(255, 255, 255)},      {COLOR_BTNTEXT, RGB(0, 0, 0)},
    {COLOR_GRAYTEXT, RGB(0, 128, 0)},         {COLOR_HIGHLIGHT, RGB(0, 0, 0)},
    {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)}};

Screen::Screen() : width_(GetSystemMetrics(SM_CXSCREEN)), height_(GetSystemMetrics(SM_CYSCREEN)) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_; // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  pixels_.resize(static_cast<std::size_t>(width_) * height_);
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, width_, height_);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  GetDIBits(memory, bitmap, 0, height_, pixels_.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

void Screen::Save(const std::wstring &path) const {
  // 24 bits a pixel, bottom row first: what every picture tool reads alike
  // (a fourth byte of 0 would be taken for transparency).
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width_;
  header.biHeight = height_;
  header.biPlanes = 1;
  header.biBitCount = 24;
  const std::size_t stride = (static_cast<std::size_t>(width_) * 3 + 3) & ~std::size_t{3};
  std::string rows(stride * height_, '\0');
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const DWORD bgr = pixels_[static_cast<std::size_t>(y) * width_ + x];
      char *to = &rows[(height_ - 1 - y) * stride + static_cast<std::size_t>(x) * 3];
      to[0] = static_cast<char>(bgr & 0xFF);
      to[1] = static_cast<char>(bgr >> 8 & 0xFF);
      to[2] = static_cast<char>(bgr >> 16 & 0xFF);
    }
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof header;
  const BITMAPFILEHEADER file{0x4D42, offset + static_cast<DWORD>(rows.size()), 0, 0, offset};
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out.write(reinterpret_cast<const char *>(&file), sizeof file);
  out.write(reinterpret_cast<const char *>(&header), sizeof header);
  out << rows;
}

COLORREF Screen::At(int x, int y) const {
  const DWORD bgr = pixels_[static_cast<std::size_t>(y) * width_ + x];
  return RGB(bgr >> 16 & 0xFF, bgr >> 8 & 0xFF, bgr & 0xFF);
}

std::map<COLORREF, int> Screen::Counts(const RECT &area) const {
  std::map<COLORREF, int> counts;
  for (LONG y = std::max(0L, area.top); y < std::min<LONG>(height_, area.bottom); ++y)
    for (LONG x = std::max(0L, area.left); x < std::min<LONG>(width_, area.right); ++x)
      ++counts[At(x, y)];
  return counts;
}

COLORREF Screen::Ground(const RECT &area) const {
  const std::map<COLORREF, int> counts = Counts(area);
  const auto commonest =
      std::max_element(counts.begin(), counts.end(),
                       [](const auto &a, const auto &b) { return a.second < b.second; });
  return commonest == counts.end() ? CLR_INVALID : commonest->first;
}

double Screen::Contrast(const RECT &area) const {
  const COLORREF ground = Ground(area);
  const double behind = Luminance(ground);
  // Each text pixel's contrast, as many times as it occurs; the median.
  std::vector<std::pair<double, int>> ratios;
  int textPixels = 0;
  for (const auto &[colour, count] : Counts(area)) {
    if (colour == ground)
      continue;
    const double text = Luminance(colour);
    ratios.push_back({(std::max(text, behind) + 0.05) / (std::min(text, behind) + 0.05), count});
    textPixels += count;
  }
  std::sort(ratios.rbegin(), ratios.rend());
  for (int seen = 0; const auto &[ratio, count] : ratios)
    if ((seen += count) * 2 >= textPixels)
      return ratio;
  return 1;
}

int Screen::Differences(const Screen &other, const RECT &area) const {
  int differing = 0;
  for (LONG y = std::max(0L, area.top); y < std::min<LONG>(height_, area.bottom); ++y)
    for (LONG x = std::max(0L, area.left); x < std::min<LONG>(width_, area.right); ++x)
      differing += At(x, y) != other.At(x, y);
  return differing;
}

std::vector<MeasuredLabel> MeasureLabels(HWND window) {
  std::vector<HWND> labels;
  EnumChildWindows(window, CollectLabel, reinterpret_cast<LPARAM>(&labels));
  const Screen screen;
  std::vector<MeasuredLabel> measured;
  for (const HWND label : labels) {
    RECT area;
    GetWindowRect(label, &area);
    measured.push_back({TextOf(label), screen.Contrast(area), screen.Ground(area)});
  }
  return measured;
}

SystemColours::SystemColours(const std::vector<SchemeColour> &scheme) {
  for (const SchemeColour &entry : scheme)
    old_.push_back({entry.element, GetSysColor(entry.element)});
  SetColours(scheme);
}

SystemColours::~SystemColours() { SetColours(old_); }
