#include "wizard/Tmainform.h"

#include "package/ExtractionRun.h"
#include "resources/Texts.h"
#include "toolkit/Application.h"
#include "toolkit/FolderBrowser.h"
#include "toolkit/MessageBox.h"
#include "wizard/DestinationCheck.h"

#include <string_view>

namespace {

struct HeaderTexts {
  const wchar_t *title;
  const wchar_t *subtitle;
};
constexpr HeaderTexts kAgreementHeader{texts::kAgreementTitle, texts::kAgreementSubtitle};
constexpr HeaderTexts kDestinationHeader{texts::kDestinationTitle, texts::kDestinationSubtitle};
constexpr HeaderTexts kProgressHeader{texts::kProgressTitle, texts::kProgressSubtitle};
constexpr HeaderTexts kFinishHeader{L"", L""};

// The header band tells a screen reader which page came: Next keeps the
// focus across the switch, and a page that is not the focus's ancestor is
// not heard by itself.
void AnnounceHeader(toolkit::Panel &band, const HeaderTexts &header) {
  band.Announce(std::wstring(header.title) + texts::kHeardAfterTitle + header.subtitle);
}

// The first number a text names.
constexpr std::size_t NumberIn(std::wstring_view text) {
  std::size_t number = 0;
  bool seen = false;
  for (const wchar_t c : text) {
    if (c >= L'0' && c <= L'9') {
      number = number * 10 + static_cast<std::size_t>(c - L'0');
      seen = true;
    } else if (seen) {
      break;
    }
  }
  return number;
}
static_assert(NumberIn(texts::kTooLong) == kMaxDestinationLength,
              "the too-long message names the limit the check applies");

// The folder of the running program, with its trailing backslash.
std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.rfind(L'\\') + 1);
}

} // namespace

TMainForm::TMainForm() : Form(texts::kWizardCaption, 497, 360, formFont.Get()) {
  TitleLabel1.SetFont(titleFont.Get());
  Label01.SetFont(headlineFont.Get());

  // Pictures lie under what they carry; the navy band over the white ground.
  Image1.SendToBack();
  Image2.SendToBack();
  TopImage.SendToBack();

  // When a page switch takes the focus away, it goes to Next if it can.
  SetFocusFallback(NextButton);

  SetKeyboardOrder({&TopPanel, &BackButton, &NextButton, &CancelButton, &EulaPanel, &PathPanel,
                    &FinishPanel, &ProgPanel});
  EulaPanel.SetKeyboardOrder({&Memo, &RadioButton1, &RadioButton2});
  PathPanel.SetKeyboardOrder({&PathEdit, &ChangeButton});

  NextButton.OnClick = [this] { NextButtonClick(); };
  BackButton.OnClick = [this] { BackButtonClick(); };
  CancelButton.OnClick = [this] { CancelButtonClick(); };
  RadioButton1.OnClick = [this] { RadioButton1Click(); };
  RadioButton2.OnClick = [this] { RadioButton2Click(); };
  PathEdit.OnChange = [this] { PathEditChange(); };
  ChangeButton.OnClick = [this] { ChangeButtonClick(); };
}

void TMainForm::SwitchPanels(bool showPath, bool showProg) {
  EulaPanel.SetVisible(false);
  PathPanel.SetVisible(showPath);
  ProgPanel.SetVisible(showProg);
  FinishPanel.SetVisible(false);
  BackButton.SetEnabled(showPath);
  NextButton.SetEnabled(showPath);
  CancelButton.SetEnabled(showPath);
}

void TMainForm::NextButtonClick() {
  if (EulaPanel.Visible()) {
    TitleLabel1.SetText(kDestinationHeader.title);
    TitleLabel2.SetText(kDestinationHeader.subtitle);
    SwitchPanels(true, false);
    FillDefaultDestination();
    AnnounceHeader(TopPanel, kDestinationHeader);
  } else if (PathPanel.Visible()) {
    if (DestinationAccepted())
      RunExtraction();
  } else if (ProgPanel.Visible()) {
    TitleLabel1.SetText(kFinishHeader.title);
    TitleLabel2.SetText(kFinishHeader.subtitle);
    EulaPanel.SetVisible(false);
    PathPanel.SetVisible(false);
    ProgPanel.SetVisible(false);
    // The finish page covers the header band too.
    FinishPanel.BringToFront();
    FinishPanel.SetVisible(true);
    BackButton.SetVisible(false);
    NextButton.SetText(texts::kFinish);
    NextButton.SetEnabled(true);
    CancelButton.SetEnabled(false);
    // The headline and the lines it runs on in, heard as one passage.
    std::wstring heard = Label01.Text();
    for (const toolkit::Label *line : {&Label02, &Label03, &Label04})
      heard += L' ' + line->Text();
    FinishPanel.Announce(heard);
  } else if (FinishPanel.Visible()) {
    Close();
  }
}

void TMainForm::BackButtonClick() {
  TitleLabel1.SetText(kAgreementHeader.title);
  TitleLabel2.SetText(kAgreementHeader.subtitle);
  EulaPanel.SetVisible(true);
  PathPanel.SetVisible(false);
  BackButton.SetEnabled(false);
  NextButton.SetEnabled(false);
  RadioButton2.SetChecked(true);
  AnnounceHeader(TopPanel, kAgreementHeader);
}

void TMainForm::CancelButtonClick() { Close(); }

void TMainForm::RadioButton1Click() { NextButton.SetEnabled(true); }

void TMainForm::RadioButton2Click() { NextButton.SetEnabled(false); }

void TMainForm::FillDefaultDestination() { PathEdit.SetText(ProgramFolder()); }

void TMainForm::PathEditChange() { NextButton.SetEnabled(!PathEdit.Text().empty()); }

void TMainForm::ChangeButtonClick() {
  if (const auto folder = toolkit::BrowseForFolder(Handle(), PathEdit.Text()))
    PathEdit.SetText(*folder);
}

bool TMainForm::DestinationAccepted() {
  switch (CheckDestination(PathEdit.Text())) {
  case DestinationVerdict::Accepted:
    return true;
  case DestinationVerdict::ForbiddenCharacter:
    toolkit::ShowMessageBox(Handle(), texts::kForbiddenCharacter, texts::kInformationCaption,
                            toolkit::MessageIcon::Information);
    return false;
  case DestinationVerdict::TooLong:
    toolkit::ShowMessageBox(Handle(), texts::kTooLong, texts::kInformationCaption,
                            toolkit::MessageIcon::Information);
    return false;
  }
  return false;
}

void TMainForm::RunExtraction() {
  TitleLabel1.SetText(kProgressHeader.title);
  TitleLabel2.SetText(kProgressHeader.subtitle);
  SwitchPanels(false, true);
  AnnounceHeader(TopPanel, kProgressHeader);
  toolkit::App().ProcessMessages();

  const bool completed =
      ExtractPackage(Handle(), PathEdit.Text(),
                     {.staged =
                          [this](int position) {
                            ProgressBar.SetPosition(position);
                            toolkit::App().ProcessMessages();
                          },
                      .keepAnswering = [] { toolkit::App().ProcessMessages(); }});
  ShowFinishTexts(completed);
  NextButtonClick();
}

void TMainForm::ShowFinishTexts(bool completed) {
  const auto &lines = completed ? texts::kCompletedLines : texts::kCanceledLines;
  toolkit::Label *labels[] = {&Label01, &Label02, &Label03, &Label04};
  static_assert(std::size(texts::kCompletedLines) == 4 && std::size(texts::kCanceledLines) == 4);
  for (std::size_t i = 0; i < std::size(labels); ++i)
    labels[i]->SetText(lines[i]);
}
