#include "driver/ScreenReader.h"

#include "driver/WizardDriver.h"
#include "win32/Handle.h"

#include <oleacc.h>

#include <algorithm>

namespace {

// The listener of the thread the hook calls back on.
thread_local ScreenReader *listener = nullptr;

struct OwnedString {
  BSTR text = nullptr;
  ~OwnedString() { SysFreeString(text); }
  std::wstring Get() const { return text ? std::wstring(text, SysStringLen(text)) : L""; }
};

VARIANT Self() {
  VARIANT self{};
  V_VT(&self) = VT_I4;
  V_I4(&self) = CHILDID_SELF;
  return self;
}

std::wstring NameOf(IAccessible *object, VARIANT child) {
  OwnedString name;
  object->get_accName(child, &name.text);
  return name.Get();
}

// The parent in the accessible tree; where an object does not say (Wine's
// window objects do not), the client area of its window's parent, as
// screen readers take it.
win32::ComPointer<IAccessible> ParentOf(IAccessible *object) {
  win32::ComPointer<IDispatch> parent;
  win32::ComPointer<IAccessible> accessible;
  if (object->get_accParent(parent.Receive()) == S_OK && parent) {
    parent.Get()->QueryInterface(__uuidof(IAccessible),
                                 reinterpret_cast<void **>(accessible.Receive()));
    return accessible;
  }
  HWND window = nullptr;
  if (WindowFromAccessibleObject(object, &window) != S_OK || !window)
    return accessible;
  const HWND above = GetAncestor(window, GA_PARENT);
  if (above && above != GetDesktopWindow())
    AccessibleObjectFromWindow(above, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                               reinterpret_cast<void **>(accessible.Receive()));
  return accessible;
}

// The names up the tree, nearest first; a window and its client area carry
// the same name, which is said once.
std::wstring AncestorsOf(IAccessible *object, VARIANT child) {
  win32::ComPointer<IAccessible> at;
  if (V_I4(&child) != CHILDID_SELF) {
    object->AddRef();
    at.Reset(object);
  } else {
    at = ParentOf(object);
  }
  std::wstring names, last;
  for (int depth = 0; at && depth < 12; ++depth) {
    const std::wstring name = NameOf(at.Get(), Self());
    if (!name.empty() && name != last)
      names += (names.empty() ? L"" : L" < ") + name;
    last = name;
    at = ParentOf(at.Get());
  }
  return names;
}

// What a screen reader says for the event; nothing for an object gone
// before it could be named.
std::wstring Describe(DWORD event, HWND window, LONG object, LONG child) {
  win32::ComPointer<IAccessible> accessible;
  VARIANT self{};
  if (AccessibleObjectFromEvent(window, static_cast<DWORD>(object), static_cast<DWORD>(child),
                                accessible.Receive(), &self) != S_OK ||
      !accessible)
    return L"";
  std::wstring line =
      (event == EVENT_SYSTEM_ALERT ? L"alert: " : L"focus: ") + NameOf(accessible.Get(), self);
  if (const std::wstring ancestors = AncestorsOf(accessible.Get(), self); !ancestors.empty())
    line += L"  (in: " + ancestors + L")";
  return line;
}

} // namespace

ScreenReader::ScreenReader(DWORD processId) {
  std::promise<void> listening;
  thread_ = std::thread([this, processId, &listening] { Listen(processId, listening); });
  listening.get_future().wait();
}

ScreenReader::~ScreenReader() {
  PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
  thread_.join();
}

void ScreenReader::Listen(DWORD processId, std::promise<void> &listening) {
  const bool com = SUCCEEDED(CoInitialize(nullptr));
  listener = this;
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the queue the quit message comes to
  std::vector<HWINEVENTHOOK> hooks;
  for (const DWORD event : {EVENT_SYSTEM_ALERT, EVENT_OBJECT_FOCUS})
    hooks.push_back(
        SetWinEventHook(event, event, nullptr, OnEvent, processId, 0, WINEVENT_OUTOFCONTEXT));
  threadId_ = GetCurrentThreadId();
  listening.set_value();
  while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    DispatchMessageW(&msg);
  for (const HWINEVENTHOOK hook : hooks)
    if (hook)
      UnhookWinEvent(hook);
  if (com)
    CoUninitialize();
}

void CALLBACK ScreenReader::OnEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object,
                                    LONG child, DWORD, DWORD) {
  // No exception may cross into the system's code that called us.
  try {
    const std::size_t at = listener->Arrived();
    std::wstring line;
    try {
      line = Describe(event, window, object, child);
    } catch (...) {
    }
    listener->Record(at, std::move(line));
  } catch (...) {
  }
}

std::size_t ScreenReader::Arrived() {
  const std::lock_guard<std::mutex> lock(mutex_);
  heard_.emplace_back();
  return heard_.size() - 1;
}

void ScreenReader::Record(std::size_t at, std::wstring line) {
  const std::lock_guard<std::mutex> lock(mutex_);
  heard_[at] = std::move(line);
}

std::vector<std::wstring> ScreenReader::Heard() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::wstring> heard;
  for (const std::optional<std::wstring> &line : heard_)
    if (line && !line->empty())
      heard.push_back(*line);
  return heard;
}

bool ScreenReader::Naming() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return std::any_of(heard_.begin(), heard_.end(),
                     [](const std::optional<std::wstring> &line) { return !line; });
}

std::wstring ScreenReader::Log() const {
  std::wstring log;
  for (const std::wstring &line : Heard())
    log += L"\n  " + line;
  return log;
}

int ScreenReader::TimesHeard(const std::wstring &text) const {
  const std::vector<std::wstring> heard = Heard();
  return static_cast<int>(std::count_if(heard.begin(), heard.end(), [&](const std::wstring &line) {
    return line.find(text) != std::wstring::npos;
  }));
}

bool ScreenReader::Hears(const std::wstring &text, std::chrono::milliseconds timeout) const {
  return WaitUntil([&] { return !Naming() && TimesHeard(text) > 0; }, timeout);
}
