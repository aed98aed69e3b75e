// Errors escaping a handler, and closes taken while a handler runs.
#include "MessageBoxRecorder.h"
#include "driver/Files.h"
#include "toolkit/Abort.h"
#include "toolkit/Application.h"
#include "toolkit/Button.h"
#include "toolkit/Form.h"
#include "win32/Error.h"

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
        ThrowCase{"ToolkitError", [] { throw win32::Error(L"Disk full"); }, {L"Disk full."}},
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

// A window the system will not make is an error with its reason, not a
// control without a window on which every later call does nothing.
struct Unmakeable : toolkit::Control {
  explicit Unmakeable(toolkit::Container &parent)
      : Control(parent, {L"NoSuchWindowClass", 0}, {0, 0, 10, 10}, L"") {}
};

TEST(WindowCreation, ThatFailsRaisesTheSystemsReason) {
  TestForm form;
  try {
    Unmakeable control(form);
    ADD_FAILURE() << "made a window of a class nobody registered";
  } catch (const win32::Error &error) {
    // Windows says ERROR_CANNOT_FIND_WND_CLASS, Wine another code.
    const std::wstring prefix = L"ウィンドウを作成できません。";
    EXPECT_EQ(error.Message().substr(0, prefix.size()), prefix);
    EXPECT_GT(error.Message().size(), prefix.size()) << "and the system's reason";
  }
}

} // namespace
