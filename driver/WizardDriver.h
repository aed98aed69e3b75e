// Drives the real wizard from outside, as a person would: finds its windows
// by caption, clicks, types, reads texts and states, answers the shell's
// questions, and takes screenshots. The end-to-end tests and the benchmark
// both drive it so.
#pragma once

#include "driver/Files.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// The shell's answer for "Yes to All" in its replace question (beside
// IDYES, IDNO and IDCANCEL).
inline constexpr int kShellYesToAll = 12807;

bool WaitUntil(const std::function<bool()> &condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(20));

class Wizard {
public:
  // Copies the program into `folder` (as a download would lie), starts it
  // and, unless told not to, waits for its window.
  Wizard(const std::wstring &folder, const std::wstring &program, bool waitForWindow = true);
  ~Wizard();

  HWND Window() const { return window_; }
  HANDLE Process() const { return process_.hProcess; }
  // Whether the wizard window is up (found once, then remembered).
  bool Appeared();
  // Children of the wizard window, inside panels too, by class and text.
  HWND Control(const wchar_t *windowClass, const std::wstring &text) const;
  HWND Button(const std::wstring &text) const { return Control(L"Button", text); }
  HWND PathEdit() const;
  HWND Progress() const { return Control(L"msctls_progress32", L""); }
  // The label showing exactly this text, or null.
  HWND Label(const std::wstring &text) const { return Control(L"Static", text); }

  // A top-level dialog of the program with this caption, once it is up.
  HWND WaitForDialog(const std::wstring &caption) const;
  // The same, now or never.
  HWND Dialog(const std::wstring &caption) const;

  // Accepts the agreement and presses Next: true once the Destination page shows.
  bool GoToDestination() const;
  // From the start: accepts, names the destination and presses Next on the
  // Destination page; true when every step was reached.
  bool StartRun(const std::wstring &destination) const;

  void Click(HWND control) const;
  // A click of the mouse at the control's middle, as a person makes it: real
  // input, through the system, to whatever lies there on the screen.
  void MouseClick(HWND control) const;
  // Waits until the wizard has answered every message sent so far and the
  // screen has had the time to show what it drew.
  void Settle() const;
  void Type(HWND edit, const std::wstring &text) const;
  void PressEnterOnFocus() const;
  // Keys struck on the keyboard, as a person would: they go to whatever
  // holds the focus in the window in front, which is the wizard's.
  void Press(WORD key, bool shift = false) const;
  void PressAlt(wchar_t letter) const;
  void TypeOnKeyboard(const std::wstring &text) const;
  // The wizard's window that is active, as the system sees it.
  HWND Active() const;
  void CloseBox() const;
  HWND Focus() const;

  static std::wstring Text(HWND window);
  static bool Checked(HWND button);
  static int Position(HWND progress);

  // Waits for the program to end and answers its exit code (-1 on timeout).
  int WaitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(30));
  bool Running() const;

  // Saves the screen as it is once settled (the wizard window and what lies
  // on it, nothing drawn again for the picture) as the bitmap `name`.bmp in
  // `folder`.
  void Screenshot(const std::wstring &folder, const std::wstring &name) const;

  std::wstring ProgramFolder() const { return folder_ + L"\\"; }

private:
  std::wstring folder_;
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};
