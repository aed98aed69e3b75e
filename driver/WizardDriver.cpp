#include "driver/WizardDriver.h"

#include "driver/Callbacks.h"
#include "driver/Screen.h"

#include <commctrl.h>

#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

constexpr wchar_t kCaption[] = L"ORVEN VELNORIX Serial Emulation Driver Ver.4.10a";

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

struct Search {
  DWORD processId;
  std::wstring windowClass; // empty: any class
  std::wstring text;        // empty: any text (children only)
  HWND found = nullptr;
};

// A visible top-level window of the process with this caption (and class).
BOOL CALLBACK FindTopLevel(HWND window, LPARAM context) {
  return Guarded([&]() -> BOOL {
    auto &s = *reinterpret_cast<Search *>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == s.processId && IsWindowVisible(window) &&
        (s.windowClass.empty() || ClassOf(window) == s.windowClass) &&
        Wizard::Text(window) == s.text) {
      s.found = window;
      return FALSE;
    }
    return TRUE;
  });
}

BOOL CALLBACK FindChild(HWND window, LPARAM context) {
  return Guarded([&]() -> BOOL {
    auto &s = *reinterpret_cast<Search *>(context);
    if (_wcsicmp(ClassOf(window).c_str(), s.windowClass.c_str()) == 0 &&
        (s.text.empty() || Wizard::Text(window) == s.text)) {
      s.found = window;
      return FALSE;
    }
    return TRUE;
  });
}

BOOL CALLBACK FindSingleLineEdit(HWND window, LPARAM context) {
  return Guarded([&]() -> BOOL {
    if (_wcsicmp(ClassOf(window).c_str(), L"Edit") == 0 &&
        !(GetWindowLongW(window, GWL_STYLE) & ES_MULTILINE)) {
      *reinterpret_cast<HWND *>(context) = window;
      return FALSE;
    }
    return TRUE;
  });
}

} // namespace

bool WaitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

Wizard::Wizard(const std::wstring &folder, const std::wstring &original, bool waitForWindow)
    : folder_(folder) {
  const std::wstring program = folder + L"\\VELNORIX410aPackageE.exe";
  CopyFileW(original.c_str(), program.c_str(), FALSE);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process_) ||
      !waitForWindow)
    return;
  WaitUntil([&] { return Appeared(); });
}

bool Wizard::Appeared() {
  if (!window_) {
    Search search{process_.dwProcessId, L"", kCaption};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
    window_ = search.found;
  }
  return window_ != nullptr;
}

Wizard::~Wizard() {
  if (Running()) {
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

HWND Wizard::Control(const wchar_t *windowClass, const std::wstring &text) const {
  Search search{0, windowClass, text};
  EnumChildWindows(window_, FindChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND Wizard::PathEdit() const {
  HWND found = nullptr;
  EnumChildWindows(window_, FindSingleLineEdit, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND Wizard::WaitForDialog(const std::wstring &caption) const {
  Search search{process_.dwProcessId, L"#32770", caption};
  WaitUntil([&] {
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  return search.found;
}

HWND Wizard::Dialog(const std::wstring &caption) const {
  Search search{process_.dwProcessId, L"#32770", caption};
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool Wizard::GoToDestination() const {
  Click(Button(L"I &accept the terms in the license agreement"));
  if (!WaitUntil([&] { return IsWindowEnabled(Button(L"&Next >")); }))
    return false;
  Click(Button(L"&Next >"));
  return WaitUntil([&] {
    const HWND title = Label(L"Location to Save Files");
    return title && IsWindowVisible(title);
  });
}

bool Wizard::StartRun(const std::wstring &destination) const {
  if (!GoToDestination())
    return false;
  Type(PathEdit(), destination);
  Click(Button(L"&Next >"));
  return true;
}

void Wizard::Click(HWND control) const { PostMessageW(control, BM_CLICK, 0, 0); }

void Wizard::Type(HWND edit, const std::wstring &text) const {
  DWORD_PTR ignored;
  SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                      5000, &ignored);
}

HWND Wizard::Focus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(process_.dwThreadId, &info);
  return info.hwndFocus;
}

void Wizard::PressEnterOnFocus() const {
  const HWND focus = Focus();
  PostMessageW(focus, WM_KEYDOWN, VK_RETURN, 0x001C0001);
  PostMessageW(focus, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

namespace {

INPUT KeyInput(WORD key, bool up, DWORD flags = 0, WORD character = 0) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = character;
  input.ki.dwFlags = flags | (up ? KEYEVENTF_KEYUP : 0);
  return input;
}

// Keys go to the window in front: the wizard's, or a box it shows.
void InFront(HWND wizard, DWORD processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(GetForegroundWindow(), &owner);
  if (owner != processId)
    SetForegroundWindow(wizard);
}

void Send(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  // Give the wizard's thread the time to take them before the next keys.
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
}

} // namespace

void Wizard::MouseClick(HWND control) const {
  InFront(window_, process_.dwProcessId);
  RECT area{};
  GetWindowRect(control, &area);
  // Absolute positions run from 0 to 65535 across the primary screen.
  const auto scaled = [](LONG at, int metric) {
    return static_cast<LONG>((at * 65536 + GetSystemMetrics(metric) / 2) /
                             GetSystemMetrics(metric));
  };
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = scaled((area.left + area.right) / 2, SM_CXSCREEN);
  input.mi.dy = scaled((area.top + area.bottom) / 2, SM_CYSCREEN);
  // The pointer comes first, as a hand moves it, then the button.
  for (const DWORD flags : {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    Send({input});
  }
}

void Wizard::Press(WORD key, bool shift) const {
  InFront(window_, process_.dwProcessId);
  std::vector<INPUT> inputs;
  if (shift)
    inputs.push_back(KeyInput(VK_SHIFT, false));
  inputs.push_back(KeyInput(key, false));
  inputs.push_back(KeyInput(key, true));
  if (shift)
    inputs.push_back(KeyInput(VK_SHIFT, true));
  Send(inputs);
}

void Wizard::PressAlt(wchar_t letter) const {
  InFront(window_, process_.dwProcessId);
  const WORD key = static_cast<WORD>(towupper(letter));
  Send({KeyInput(VK_MENU, false), KeyInput(key, false), KeyInput(key, true),
        KeyInput(VK_MENU, true)});
}

void Wizard::TypeOnKeyboard(const std::wstring &text) const {
  InFront(window_, process_.dwProcessId);
  std::vector<INPUT> inputs;
  for (const wchar_t c : text) {
    inputs.push_back(KeyInput(0, false, KEYEVENTF_UNICODE, c));
    inputs.push_back(KeyInput(0, true, KEYEVENTF_UNICODE, c));
  }
  Send(inputs);
}

HWND Wizard::Active() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(process_.dwThreadId, &info);
  return info.hwndActive;
}

void Wizard::CloseBox() const { PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0); }

std::wstring Wizard::Text(HWND window) {
  wchar_t text[1024] = {};
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      5000, &length);
  return text;
}

bool Wizard::Checked(HWND button) {
  DWORD_PTR state = 0;
  SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
  return state == BST_CHECKED;
}

int Wizard::Position(HWND progress) {
  DWORD_PTR position = 0;
  SendMessageTimeoutW(progress, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position);
  return static_cast<int>(position);
}

bool Wizard::Running() const {
  return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

int Wizard::WaitForExit(std::chrono::milliseconds timeout) {
  if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
    return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<int>(code);
}

void Wizard::Settle() const {
  DWORD_PTR ignored;
  SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

void Wizard::Screenshot(const std::wstring &folder, const std::wstring &name) const {
  Settle();
  // The whole screen: the wizard and any dialog of the shell in front of it.
  CreateDirectoryW(folder.c_str(), nullptr);
  Screen().Save(folder + L"\\" + name + L".bmp");
}
