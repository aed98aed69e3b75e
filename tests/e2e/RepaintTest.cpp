// Every page switch, made with the mouse as a person makes it, leaves the
// screen as a full repaint of the window would draw it: no label keeps a
// strip of the text it had before. Taken from the screen, not printed from
// the window, in the default and the high-contrast colours.
#include "Options.h"
#include "driver/Screen.h"
#include "driver/WizardDriver.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// How many of the window's pixels a full repaint changes.
int StalePixels(const Wizard &wizard) {
  wizard.Settle();
  const Screen settled;
  RedrawWindow(wizard.Window(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  wizard.Settle();
  RECT area{};
  GetWindowRect(wizard.Window(), &area);
  return settled.Differences(Screen(), area);
}

class Repaint : public testing::TestWithParam<const std::vector<SchemeColour> *> {};

TEST_P(Repaint, EveryPageSwitchDrawsThePageWhole) {
  std::optional<SystemColours> colours; // set before the wizard starts
  if (GetParam())
    colours.emplace(*GetParam());
  ScratchFolder downloads, target;
  Wizard wizard(downloads.Path(), options.wizard);
  ASSERT_TRUE(wizard.Window());
  const auto shows = [&](const wchar_t *text) {
    return WaitUntil([&] {
      const HWND label = wizard.Label(text);
      return label && IsWindowVisible(label);
    });
  };
  const HWND next = wizard.Button(L"&Next >");
  const auto acceptAndGoOn = [&] {
    wizard.MouseClick(wizard.Button(L"I &accept the terms in the license agreement"));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(next) != FALSE; }));
    wizard.MouseClick(next);
    ASSERT_TRUE(shows(L"Location to Save Files"));
  };

  acceptAndGoOn();
  EXPECT_EQ(StalePixels(wizard), 0) << "after Next";
  wizard.MouseClick(wizard.Button(L"< &Back"));
  ASSERT_TRUE(shows(L"License Agreement"));
  EXPECT_EQ(StalePixels(wizard), 0) << "after Back";
  acceptAndGoOn(); // Back asks for the agreement again
  EXPECT_EQ(StalePixels(wizard), 0) << "after Next again";

  wizard.Type(wizard.PathEdit(), target.Path());
  wizard.MouseClick(next);
  ASSERT_TRUE(shows(L"The extraction was completed."));
  EXPECT_EQ(StalePixels(wizard), 0) << "on the Finish page";
  wizard.MouseClick(wizard.Button(L"&Finish"));
  EXPECT_EQ(wizard.WaitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(Schemes, Repaint, testing::Values(nullptr, &kHighContrastBlack),
                         [](const auto &info) {
                           return std::string(info.param ? "HighContrastBlack" : "Default");
                         });

} // namespace
