// Measures the wizard under Wine from outside, as the end-to-end tests drive
// it, and prints one "name value" line per figure (medians over the runs).
//   bench_driver startup PROGRAM CAPTION RUNS
//   bench_driver run PROGRAM RUNS
//   bench_driver phases BENCH_PROGRAM RUNS   (the build with phase marks)
// Paths may be Unix paths; Wine shows the root as drive Z:.
#include "Measure.h"
#include "driver/Files.h"
#include "driver/WizardDriver.h"
#include "resources/PackageFormat.h"

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Found {
  DWORD processId;
  const wchar_t *caption;
  HWND window;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM context) {
  auto &found = *reinterpret_cast<Found *>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  if (owner == found.processId && IsWindowVisible(window) && wcscmp(text, found.caption) == 0) {
    found.window = window;
    return FALSE;
  }
  return TRUE;
}

// Milliseconds from CreateProcess to the window with this caption visible.
double StartUp(const std::wstring &program, const wchar_t *caption) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + program + L"\"";
  const double start = Now();
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return -1;
  Found found{process.dwProcessId, caption, nullptr};
  while (!found.window && Now() - start < 30000) {
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&found));
    if (!found.window)
      Sleep(1);
  }
  const double elapsed = Now() - start;
  PostMessageW(found.window, WM_SYSCOMMAND, SC_CLOSE, 0);
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
    TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return found.window ? elapsed : -1;
}

struct RunFigures {
  double milliseconds;
  SIZE_T peakPrivate;
  SIZE_T peakWorkingSet;
};

// Next on the Destination page to the Finish page, into a new folder.
RunFigures Run(const std::wstring &program) {
  ScratchFolder downloads;
  ScratchFolder target;
  Wizard wizard(downloads.Path(), program);
  wizard.GoToDestination();
  wizard.Type(wizard.PathEdit(), target / L"out");
  const HWND next = wizard.Button(L"&Next >");
  const double start = Now();
  wizard.Click(next);
  WaitUntil([&] { return wizard.Text(next) == L"&Finish"; }, std::chrono::minutes(10));
  const double elapsed = Now() - start;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(wizard.Process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&memory),
                       sizeof memory);
  wizard.Click(next);
  wizard.WaitForExit();
  return {elapsed, memory.PeakPagefileUsage, memory.PeakWorkingSetSize};
}

// Asks the wizard's window, every few milliseconds, to answer an empty
// message, and records how long each answer took: the time the window
// would look hung to the system.
class Probe {
public:
  explicit Probe(HWND window)
      : thread_([this, window] {
          while (!stop_) {
            const double sent = Now();
            DWORD_PTR ignored;
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
            samples_.push_back({sent, Now() - sent});
            Sleep(2);
          }
        }) {}
  ~Probe() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
  }
  // The longest wait among the answers that began in [from, to).
  double Longest(double from, double to) const { return Worst(from, to).second; }
  // That answer: when it was asked for, and how long it took.
  std::pair<double, double> Worst(double from, double to) const {
    std::pair<double, double> worst{0, 0};
    for (const auto &[sent, waited] : samples_)
      if (sent >= from && sent < to && waited > worst.second)
        worst = {sent, waited};
    return worst;
  }

private:
  std::atomic<bool> stop_ = false;
  std::vector<std::pair<double, double>> samples_;
  std::thread thread_;
};

struct PhaseFigures {
  std::map<std::string, double> values;
};

// One run of the build with phase marks, probed throughout.
PhaseFigures Phases(const std::wstring &program) {
  ScratchFolder downloads;
  ScratchFolder target;
  const std::wstring log = target / L"phases.txt";
  SetEnvironmentVariableW(L"WIZARD_PHASE_LOG", log.c_str());
  Wizard wizard(downloads.Path(), program);
  wizard.GoToDestination();
  wizard.Type(wizard.PathEdit(), target / L"out");
  const HWND next = wizard.Button(L"&Next >");
  Probe probe(wizard.Window());
  const double start = Now();
  wizard.Click(next);
  WaitUntil([&] { return wizard.Text(next) == L"&Finish"; }, std::chrono::minutes(10));
  const double elapsed = Now() - start;
  probe.Stop();
  wizard.Click(next);
  wizard.WaitForExit();

  std::map<std::string, std::vector<double>> marks;
  std::ifstream in{std::filesystem::path(log)};
  std::string name;
  double at;
  while (in >> name >> at)
    marks[name].push_back(at);
  PhaseFigures figures;
  auto &v = figures.values;
  if (marks["start"].empty() || marks["staged"].size() != package_format::kItemCount ||
      marks["copied"].empty() || marks["checked"].empty() || marks["cleaned"].empty())
    return figures;
  const double begun = marks["start"][0], staged = marks["staged"].back(),
               copied = marks["copied"][0], checked = marks["checked"][0],
               cleaned = marks["cleaned"][0];
  v["run_ms"] = elapsed;
  v["stage_ms"] = staged - begun;
  v["payload_check_ms"] = marks["payload_check_ms"].empty() ? 0 : marks["payload_check_ms"][0];
  v["check_method"] = marks["check_method"].empty() ? 0 : marks["check_method"][0];
  v["copy_ms"] = copied - staged;
  v["check_ms"] = checked - copied;
  v["cleanup_ms"] = cleaned - checked;
  v["inside_ms"] = cleaned - begun;
  // The shell's copy runs its own dialog loop: its silences are its own.
  v["silence_ours_ms"] =
      std::max({probe.Longest(start - 1000, staged), probe.Longest(copied, 1e300)});
  v["silence_shell_copy_ms"] = probe.Longest(staged, copied);
  // Where our longest silence began, in ms after the start of the run.
  const auto before = probe.Worst(start - 1000, staged), after = probe.Worst(copied, 1e300);
  v["silence_ours_began_at_ms"] = (before.second > after.second ? before : after).first - begun;
  return figures;
}

} // namespace

int main(int argc, char **argv) {
  if (argc == 5 && std::string(argv[1]) == "startup") {
    const std::wstring caption(argv[3], argv[3] + strlen(argv[3]));
    std::vector<double> times;
    for (int i = 0; i < atoi(argv[4]); ++i)
      times.push_back(StartUp(WindowsPath(argv[2]), caption.c_str()));
    std::printf("startup_ms %.1f\n", Median(times));
    return 0;
  }
  if (argc == 4 && std::string(argv[1]) == "run") {
    std::vector<double> times, privateBytes, workingSet;
    for (int i = 0; i < atoi(argv[3]); ++i) {
      const RunFigures figures = Run(WindowsPath(argv[2]));
      times.push_back(figures.milliseconds);
      privateBytes.push_back(static_cast<double>(figures.peakPrivate));
      workingSet.push_back(static_cast<double>(figures.peakWorkingSet));
    }
    std::printf("run_ms %.1f\npeak_private_bytes %.0f\npeak_working_set %.0f\n", Median(times),
                Median(privateBytes), Median(workingSet));
    return 0;
  }
  if (argc == 4 && std::string(argv[1]) == "phases") {
    std::map<std::string, std::vector<double>> runs;
    for (int i = 0; i < atoi(argv[3]); ++i)
      for (const auto &[name, value] : Phases(WindowsPath(argv[2])).values)
        runs[name].push_back(value);
    for (const auto &[name, values] : runs)
      // Silences: the worst run; everything else: the median.
      std::printf("%s %.1f\n", name.c_str(),
                  name.starts_with("silence") ? *std::max_element(values.begin(), values.end())
                                              : Median(values));
    return 0;
  }
  std::fprintf(stderr, "usage: bench_driver startup PROGRAM CAPTION RUNS | run PROGRAM RUNS | "
                       "phases PROGRAM RUNS\n");
  return 2;
}
