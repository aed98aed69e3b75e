// A change of the user's colours while the wizard is open: every page is
// drawn again in the new ones (under Wine only the program that changes the
// colours sees them, so the change is made here, under a shown form).
#include "driver/Screen.h"
#include "toolkit/Application.h"
#include "wizard/Tmainform.h"

#include <gtest/gtest.h>

namespace {

void ExpectReadable(const TMainForm &form, const char *page) {
  toolkit::App().ProcessMessages(); // the repaint the change asked for, and nothing more
  Sleep(200);
  const std::vector<MeasuredLabel> labels = MeasureLabels(form.Handle());
  EXPECT_FALSE(labels.empty()) << page;
  for (const MeasuredLabel &label : labels)
    EXPECT_GE(label.contrast, 4.5) << page << ": " << testing::PrintToString(label.text);
}

TEST(SchemeChange, RepaintsEveryPageInTheNewColours) {
  for (const auto *scheme : {&kHighContrastBlack, &kHighContrastWhite}) {
    TMainForm form;
    form.Show();
    form.RadioButton1.SetChecked(true);
    form.NextButton.Click();
    toolkit::App().ProcessMessages();
    const SystemColours colours(*scheme);
    ExpectReadable(form, "destination");
    form.SwitchPanels(false, true);
    ExpectReadable(form, "progress");
    form.NextButtonClick();
    form.Label01.SetText(L"The extraction was completed."); // as the run would
    ExpectReadable(form, "finish");
    form.Hide();
  }
}

} // namespace
