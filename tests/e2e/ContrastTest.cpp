// Every text of the four pages is readable in the user's colours: measured
// in screenshots, label by label, as the ratio between a label's text and
// what lies behind it. Wine cannot switch high contrast on, but it takes a
// scheme's system colours, which is what the wizard follows.
#include "Options.h"
#include "driver/Screen.h"
#include "driver/WizardDriver.h"

#include <gtest/gtest.h>

#include <iostream>
#include <optional>

namespace {

const wchar_t *const kFiles[] = {L"VELNORIX410aE.exe", L"VELNORIX_User'sManual.pdf",
                                 L"ReadMe_E.txt"};

// One pixel of the wizard's client area, as it is on the screen now.
COLORREF PixelAt(const Wizard &wizard, int x, int y) {
  POINT point{x, y};
  ClientToScreen(wizard.Window(), &point);
  return Screen().At(point.x, point.y);
}

// Set before the wizard starts: under Wine a running program keeps the
// colours it started with (the unit tests change them under a running form).
struct Scheme {
  const char *name;
  const std::vector<SchemeColour> *colours; // null: the colours as they are
};

class Contrast : public testing::TestWithParam<Scheme> {
protected:
  // Measures the page and checks every label on it; records the figures.
  void ExpectReadable(const Wizard &wizard, const std::wstring &page) {
    wizard.Screenshot(options.screenshots, Name() + L"-" + page);
    const std::vector<MeasuredLabel> labels = MeasureLabels(wizard.Window());
    EXPECT_FALSE(labels.empty()) << testing::PrintToString(page);
    for (const MeasuredLabel &label : labels) {
      std::wcout << Name() << L" " << page << L" \"" << label.text << L"\" " << label.contrast
                 << L":1\n";
      EXPECT_GE(label.contrast, 4.5) << testing::PrintToString(page + L": " + label.text);
    }
  }
  static std::wstring Name() {
    const std::string name = GetParam().name;
    return std::wstring(name.begin(), name.end());
  }
};

TEST_P(Contrast, EveryLabelOfEveryPageIsReadable) {
  std::optional<SystemColours> colours;
  if (GetParam().colours)
    colours.emplace(*GetParam().colours);
  ScratchFolder downloads;
  ScratchFolder target;
  for (const wchar_t *file : kFiles)
    WriteFileBytes(target / file, "an older copy"); // so that the shell asks, on the Progress page
  Wizard wizard(downloads.Path(), options.wizard);
  ASSERT_TRUE(wizard.Window());

  ExpectReadable(wizard, L"1-agreement");
  const bool defaultColours = !GetParam().colours;
  if (defaultColours) {
    EXPECT_EQ(PixelAt(wizard, 480, 50), RGB(255, 255, 255)) << "the white header band";
  }
  ASSERT_TRUE(wizard.GoToDestination());
  ExpectReadable(wizard, L"2-destination");
  wizard.Type(wizard.PathEdit(), target.Path());
  wizard.Click(wizard.Button(L"&Next >"));
  const HWND question = wizard.WaitForDialog(L"Confirm file overwrite");
  ASSERT_TRUE(question);
  // Out of the way of the page behind it.
  SetWindowPos(question, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ExpectReadable(wizard, L"3-progress");
  wizard.Click(GetDlgItem(question, kShellYesToAll));
  ASSERT_TRUE(WaitUntil([&] { return wizard.Button(L"&Finish") != nullptr; }));
  ExpectReadable(wizard, L"4-finish");
  if (defaultColours) {
    EXPECT_EQ(PixelAt(wizard, 80, 150), RGB(0, 0, 128)) << "the navy band";
    EXPECT_EQ(PixelAt(wizard, 480, 300), RGB(255, 255, 255)) << "the white ground";
  }
  wizard.Click(wizard.Button(L"&Finish"));
  EXPECT_EQ(wizard.WaitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Schemes, Contrast,
                         testing::Values(Scheme{"default", nullptr},
                                         Scheme{"high-contrast-black", &kHighContrastBlack},
                                         Scheme{"high-contrast-white", &kHighContrastWhite}),
                         [](const auto &info) {
                           std::string name = info.param.name;
                           std::erase(name, '-');
                           return name;
                         });

} // namespace
