// Listens to the wizard as a screen reader does: an out-of-context WinEvent
// hook for focus changes and alerts, and for each the accessible object's
// name and its ancestors' names, read through Active Accessibility on a
// thread of its own.
#pragma once

#include <windows.h>

#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ScreenReader {
public:
  // Listens to the events of one process from now on.
  explicit ScreenReader(DWORD processId);
  ~ScreenReader();
  ScreenReader(const ScreenReader &) = delete;
  ScreenReader &operator=(const ScreenReader &) = delete;

  // One line an event, in the order heard:
  //   "alert: NAME  (in: PARENT < GRANDPARENT ...)", "focus: ..." alike.
  std::vector<std::wstring> Heard() const;
  // The lines heard so far, one under the other, for a failure message.
  std::wstring Log() const;
  // How many lines heard so far hold `text`.
  int TimesHeard(const std::wstring &text) const;
  // Waits until a line holds `text` and every event that came is named.
  bool Hears(const std::wstring &text,
             std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

private:
  static void CALLBACK OnEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object,
                               LONG child, DWORD thread, DWORD time);
  void Listen(DWORD processId, std::promise<void> &listening);
  // A line's place is taken when its event arrives: naming the object waits
  // on the wizard, and events that arrive meanwhile are heard meanwhile.
  // An event whose object could not be named is recorded empty, and not heard.
  std::size_t Arrived();
  void Record(std::size_t at, std::wstring line);
  bool Naming() const;

  mutable std::mutex mutex_;
  std::vector<std::optional<std::wstring>> heard_; // empty while being named
  DWORD threadId_ = 0;
  std::thread thread_;
};
