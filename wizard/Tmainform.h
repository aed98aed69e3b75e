// The wizard window: header band, four pages and the Back / Next / Cancel
// row. The visible page panel is the wizard's whole page state.
#pragma once

#include "package/Agreement.h"
#include "resources/ResourceIds.h"
#include "resources/Texts.h"
#include "toolkit/Bevel.h"
#include "toolkit/Button.h"
#include "toolkit/Edit.h"
#include "toolkit/Font.h"
#include "toolkit/Form.h"
#include "toolkit/Label.h"
#include "toolkit/Picture.h"
#include "toolkit/ProgressBar.h"
#include "toolkit/RadioButton.h"

// The fonts exist before the form's window and controls that use them.
struct WizardFonts {
  win32::FontHandle formFont = toolkit::MakeFont(L"Tahoma", 11);
  win32::FontHandle titleFont = toolkit::MakeFont(L"Tahoma", 12, true);
  win32::FontHandle headlineFont = toolkit::MakeFont(L"Tahoma", 16, true);
};

class TMainForm : private WizardFonts, public toolkit::Form {
public:
  TMainForm();

  // Handlers, named after their control and event.
  void NextButtonClick();
  void BackButtonClick();
  void CancelButtonClick();
  void RadioButton1Click();
  void RadioButton2Click();
  void PathEditChange();
  void ChangeButtonClick();

  // Shows the Destination page (showPath) or the Progress page (showProg)
  // and sets Back, Next and Cancel together.
  void SwitchPanels(bool showPath, bool showProg);

private:
  void FillDefaultDestination();
  bool DestinationAccepted();
  void RunExtraction();
  void ShowFinishTexts(bool completed);

public:
  using Initially = toolkit::Initially;
  static constexpr int Auto = toolkit::kAutoSize;
  static constexpr COLORREF White = RGB(255, 255, 255);

  // The window's controls, in creation order.
  // clang-format off
  //  kind                 name          parent        left  top  width height  text, picture or state
  toolkit::Panel       TopPanel     {*this,        {  0,   0,  497,  59}, Initially::Shown, White};
  toolkit::Picture     TopImage     {TopPanel,     {  0,   0,  497,  59}, IDB_HEADER};
  toolkit::Label       TitleLabel1  {TopPanel,     { 16,   8, Auto, Auto}, texts::kAgreementTitle};
  toolkit::Label       TitleLabel2  {TopPanel,     { 32,  32, Auto, Auto}, texts::kAgreementSubtitle};
  toolkit::Bevel       Bevel1       {*this,        {  0,  59,  497,   2}};
  toolkit::Panel       EulaPanel    {*this,        {  0,  61,  497, 252}, Initially::Shown};
  toolkit::Memo        Memo         {EulaPanel,    { 23,  13,  455, 176}, AgreementText()};
  toolkit::RadioButton RadioButton1 {EulaPanel,    { 23, 204,  457,  17}, texts::kAccept};
  toolkit::RadioButton RadioButton2 {EulaPanel,    { 23, 224,  457,  17}, texts::kDecline, Initially::Checked};
  toolkit::Panel       PathPanel    {*this,        {  0,  61,  497, 252}, Initially::Hidden};
  toolkit::Label       PathLabel1   {PathPanel,    { 40,  16, Auto, Auto}, texts::kDestinationLine1};
  toolkit::Label       PathLabel2   {PathPanel,    { 40,  32, Auto, Auto}, texts::kDestinationLine2};
  toolkit::Label       PathLabel3   {PathPanel,    { 40,  64, Auto, Auto}, texts::kSaveInFolder};
  toolkit::Edit        PathEdit     {PathPanel,    { 40,  80,  409,  21}, L""};
  toolkit::Button      ChangeButton {PathPanel,    {376, 104,   73,  23}, texts::kChange};
  toolkit::Panel       ProgPanel    {*this,        {  0,  61,  497, 252}, Initially::Hidden};
  toolkit::Label       Label1       {ProgPanel,    { 40,  80, Auto, Auto}, texts::kExtracting};
  toolkit::ProgressBar ProgressBar  {ProgPanel,    { 40,  99,  409,  22}, 0, 1000};
  toolkit::Panel       FinishPanel  {*this,        {  0,   0,  497, 314}, Initially::Hidden, White};
  toolkit::Picture     Image2       {FinishPanel,  {  0,   0,  497, 314}, IDB_FINISH_BACKGROUND};
  toolkit::Picture     Image1       {FinishPanel,  {  0,   0,  159, 314}, IDB_FINISH_BAND};
  toolkit::Label       Label01      {FinishPanel,  {182,  17, Auto, Auto}, L""};
  toolkit::Label       Label02      {FinishPanel,  {184,  65, Auto, Auto}, L""};
  toolkit::Label       Label03      {FinishPanel,  {184,  84, Auto, Auto}, L""};
  toolkit::Label       Label04      {FinishPanel,  {184, 103, Auto, Auto}, L""};
  toolkit::Bevel       Bevel2       {*this,        {  0, 314,  497,   2}};
  toolkit::Button      BackButton   {*this,        {250, 327,   75,  23}, texts::kBack, Initially::Disabled};
  toolkit::Button      NextButton   {*this,        {325, 327,   75,  23}, texts::kNext, Initially::Disabled};
  toolkit::Button      CancelButton {*this,        {412, 327,   75,  23}, texts::kCancel};
  // clang-format on
};
