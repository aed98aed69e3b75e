// A change of the user's colours while the wizard is open: every page is
// drawn again in the new ones (under Wine only the program that changes the
// colours sees them, so the change is made here, under a shown form). Each
// page is drawn in the old colours first, so that only following the
// change can bring the new ones.
#include "driver/Screen.h"
#include "toolkit/Application.h"
#include "wizard/Tmainform.h"

#include <gtest/gtest.h>

namespace {

COLORREF SchemeColourOf(const std::vector<SchemeColour> &scheme, int element) {
  for (const SchemeColour &entry : scheme)
    if (entry.element == element)
      return entry.colour;
  return CLR_INVALID;
}

void Settle() {
  toolkit::App().ProcessMessages(); // the repaint the change asked for, and nothing more
  Sleep(200);
}

struct Page {
  const char *name;
  void (*reach)(TMainForm &form);
};
const Page kPages[] = {
    {"agreement", [](TMainForm &) {}},
    {"destination",
     [](TMainForm &form) {
       form.RadioButton1.SetChecked(true);
       form.NextButton.Click();
     }},
    {"progress", [](TMainForm &form) { form.SwitchPanels(false, true); }},
    {"finish",
     [](TMainForm &form) {
       form.SwitchPanels(false, true);
       form.NextButtonClick();
       form.Label01.SetText(L"The extraction was completed."); // as the run would
     }},
};

TEST(SchemeChange, RepaintsEveryPageInTheNewColours) {
  for (const auto *scheme : {&kHighContrastBlack, &kHighContrastWhite})
    for (const Page &page : kPages) {
      TMainForm form;
      form.Show();
      page.reach(form);
      Settle();
      const SystemColours colours(*scheme);
      Settle();
      const std::vector<MeasuredLabel> labels = MeasureLabels(form.Handle());
      EXPECT_FALSE(labels.empty()) << page.name;
      for (const MeasuredLabel &label : labels) {
        const auto where = std::string(page.name) + ": " + testing::PrintToString(label.text);
        EXPECT_GE(label.contrast, 4.5) << where;
        EXPECT_TRUE(label.ground == SchemeColourOf(*scheme, COLOR_WINDOW) ||
                    label.ground == SchemeColourOf(*scheme, COLOR_BTNFACE))
            << where << " lies on " << std::hex << label.ground;
      }
      form.Hide();
    }
}

} // namespace
