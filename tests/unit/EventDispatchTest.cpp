// Errors escaping a handler, and closes taken while a handler runs.
#include "MessageBoxRecorder.h"
#include "TestFiles.h"
#include "toolkit/Application.h"
#include "toolkit/Button.h"
#include "toolkit/Error.h"
#include "toolkit/Form.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using toolkit::App;

struct TestForm : toolkit::Form {
  TestForm() : Form(L"Dispatch test", 200, 100, nullptr) {}
  toolkit::Button Button{*this, {10, 10, 75, 23}, L"Go"};
};

// Runs the real loop with a click on the button queued ahead of a close.
void ClickThenClose(TestForm &form) {
  PostMessageW(form.Handle(), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(form.Button.Handle()), BN_CLICKED),
               reinterpret_cast<LPARAM>(form.Button.Handle()));
  PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
  App().Run(form);
}

struct ThrowCase {
  const char *name;
  void (*raise)();
  std::vector<std::wstring> shown;
};

class HandlerError : public testing::TestWithParam<ThrowCase> {};

TEST_P(HandlerError, ReachesTheErrorDisplayOnceAndTheLoopGoesOn) {
  MessageBoxRecorder recorder;
  TestForm form;
  form.Button.OnClick = GetParam().raise;
  ClickThenClose(form); // returns only if the close after the error was processed

  std::vector<std::wstring> shown;
  for (const RecordedBox &box : recorder.boxes) {
    shown.push_back(box.text);
    EXPECT_EQ(box.caption, L"VELNORIX410aPackageE");
    EXPECT_EQ(box.icon, toolkit::MessageIcon::Error);
  }
  EXPECT_EQ(shown, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, HandlerError,
    testing::Values(
        ThrowCase{"ToolkitError", [] { throw toolkit::Error(L"Disk full"); }, {L"Disk full."}},
        ThrowCase{"SilentAbort", [] { throw toolkit::Abort(); }, {}},
        ThrowCase{
            "StandardException", [] { throw std::runtime_error("bad thing"); }, {L"bad thing."}}),
    [](const auto &info) { return info.param.name; });

TEST(ErrorDisplay, LeavesItsOwnerToTheBoxDisablesTheOtherWindowsAndRestoresThem) {
  TestForm form;
  form.Show();
  SetFocus(form.Button.Handle());
  HWND owner = nullptr;
  bool ownerEnabled = false, applicationWindowEnabled = true;
  toolkit::SetMessageBoxHook(
      [&](HWND boxOwner, const std::wstring &, const std::wstring &, toolkit::MessageIcon) {
        owner = boxOwner;
        ownerEnabled = IsWindowEnabled(boxOwner);
        applicationWindowEnabled = IsWindowEnabled(App().Handle());
      });
  App().ShowError(L"Something failed");
  toolkit::SetMessageBoxHook(nullptr);
  EXPECT_EQ(owner, form.Handle()) << "owned by the active window";
  // MessageBoxW disables its owner itself and enables it again before it
  // closes; were it still disabled then, the system would activate some
  // other program's window instead.
  EXPECT_TRUE(ownerEnabled);
  EXPECT_FALSE(applicationWindowEnabled);
  EXPECT_TRUE(IsWindowEnabled(form.Handle()));
  EXPECT_TRUE(IsWindowEnabled(App().Handle()));
  EXPECT_EQ(GetActiveWindow(), form.Handle());
  EXPECT_EQ(GetFocus(), form.Button.Handle());
  form.Hide();
}

TEST(CloseDuringHandler, LetsTheHandlerAndItsLaterModalLoopFinish) {
  TestForm form;
  bool handlerFinished = false;
  bool modalLoopEndedNormally = false;
  form.Button.OnClick = [&] {
    PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
    App().ProcessMessages(); // the close is taken here
    EXPECT_TRUE(App().Terminated());
    // A modal loop started afterwards (as the shell's copy dialogs run) must
    // see its own ending message, not a quit.
    PostMessageW(form.Handle(), WM_APP, 0, 0);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (msg.message == WM_APP) {
        modalLoopEndedNormally = true;
        break;
      }
      DispatchMessageW(&msg);
    }
    handlerFinished = true;
  };
  PostMessageW(form.Handle(), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(form.Button.Handle()), BN_CLICKED),
               reinterpret_cast<LPARAM>(form.Button.Handle()));
  App().Run(form);
  EXPECT_TRUE(modalLoopEndedNormally);
  EXPECT_TRUE(handlerFinished);
}

} // namespace
