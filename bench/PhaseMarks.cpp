// The benchmark build's phase marks: each phase's end on the benchmark's
// clock (the system-wide performance counter, so that the driver, another
// process, can line them up with its own probe), written to the file
// WIZARD_PHASE_LOG names. The payload check uses the method
// WIZARD_CHECK_METHOD names ("instruction", "folding", "table") instead of
// the best.
#include "package/PhaseMarks.h"

#include "Measure.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Mark {
  const char *phase;
  double at;
};
std::vector<Mark> marks;
double checkStartedAt = 0, checkMilliseconds = 0;

} // namespace

void MarkPhaseEnd(const char *phase) { marks.push_back({phase, Now()}); }

void MarkCheckStart() { checkStartedAt = Now(); }

void MarkCheckEnd() { checkMilliseconds += Now() - checkStartedAt; }

Crc32c::Method CheckMethod() {
  wchar_t method[16] = {};
  GetEnvironmentVariableW(L"WIZARD_CHECK_METHOD", method, 16);
  const std::wstring name = method;
  if (name == L"instruction" && __builtin_cpu_supports("sse4.2"))
    return Crc32c::Method::Instruction;
  return name == L"table"     ? Crc32c::Method::Table
         : name == L"folding" ? Crc32c::Method::Folding
                              : Crc32c::Best();
}

void WritePhaseMarks() {
  wchar_t path[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"WIZARD_PHASE_LOG", path, MAX_PATH))
    return;
  FILE *file = _wfopen(path, L"w");
  if (!file)
    return;
  for (const Mark &mark : marks)
    std::fprintf(file, "%s %.3f\n", mark.phase, mark.at);
  std::fprintf(file, "check_method %d\n", static_cast<int>(CheckMethod()));
  std::fprintf(file, "payload_check_ms %.3f\n", checkMilliseconds);
  std::fclose(file);
  marks.clear();
  checkMilliseconds = 0;
}
