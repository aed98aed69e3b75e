// What a person who cannot see the screen hears as the pages come: each
// page's title and the line under it once, and how the extraction ended.
#include "driver/ScreenReader.h"
#include "Options.h"
#include "driver/WizardDriver.h"

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kDestinationHeard[] =
    L"Location to Save Files. Where would you like to save your files?";
constexpr wchar_t kProgressHeard[] =
    L"Extracting Files. The contents of this package are being extracted.";

struct Run {
  const char *name;
  bool filesAlreadyThere; // the shell then asks, and the person cancels
  const wchar_t *headline;
  const wchar_t *firstLine;
};

class HeardRun : public testing::TestWithParam<Run> {
protected:
  ScratchFolder downloads;
  ScratchFolder target;
  Wizard wizard{downloads.Path(), options.wizard};
  ScreenReader reader{GetProcessId(wizard.Process())};
};

TEST_P(HeardRun, EachPageIsHeardOnceAndSoIsTheOutcome) {
  ASSERT_TRUE(wizard.GoToDestination());
  EXPECT_TRUE(reader.Hears(kDestinationHeard)) << reader.Log();

  if (GetParam().filesAlreadyThere)
    for (const wchar_t *file :
         {L"VELNORIX410aE.exe", L"VELNORIX_User'sManual.pdf", L"ReadMe_E.txt"})
      WriteFileBytes(target / file, "the user's own copy");
  wizard.Type(wizard.PathEdit(), target.Path());
  wizard.Click(wizard.Button(L"&Next >"));
  if (GetParam().filesAlreadyThere) {
    const HWND question = wizard.WaitForDialog(L"Confirm file overwrite");
    ASSERT_TRUE(question);
    wizard.Click(GetDlgItem(question, IDCANCEL));
  }

  // The finish page's lines run on as one passage.
  const std::wstring finish = std::wstring(GetParam().headline) + L" " + GetParam().firstLine +
                              L" Serial Emulation Driver Ver.4.10a Installer to your " +
                              L" computer.  To exit the wizard, click Finish.";
  ASSERT_TRUE(reader.Hears(finish)) << reader.Log();
  for (const std::wstring &once :
       {std::wstring(kDestinationHeard), std::wstring(kProgressHeard), finish})
    EXPECT_EQ(reader.TimesHeard(once), 1) << testing::PrintToString(once) << reader.Log();
}

INSTANTIATE_TEST_SUITE_P(Outcomes, HeardRun,
                         testing::Values(Run{"Completed", false, L"The extraction was completed.",
                                             L"The Wizard has finished extracting ORVEN VELNORIX"},
                                         Run{"CanceledAtTheOverwriteQuestion", true,
                                             L"The extraction was canceled.",
                                             L"The Wizard has canceled extracting ORVEN VELNORIX"}),
                         [](const auto &info) { return info.param.name; });

} // namespace
