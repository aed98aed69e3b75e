// Where the run's time goes, for the benchmark: a build made for it
// (WIZARD_PHASE_MARKS) records when each phase ends and how long the
// payload check took in all, and writes them out when the run is over; it
// can also be told to check with the table instead of the instruction, so
// that both are measured. The shipped program carries none of it: here
// every mark is an empty inline function.
#pragma once

#include "package/Crc32c.h"

#ifdef WIZARD_PHASE_MARKS
void MarkPhaseEnd(const char *phase);
void AddCheckTime(double milliseconds);
double PhaseClockMilliseconds();
void WritePhaseMarks();
Crc32c::Method CheckMethod();
#else
inline void MarkPhaseEnd(const char *) {}
inline void AddCheckTime(double) {}
inline double PhaseClockMilliseconds() { return 0; }
inline void WritePhaseMarks() {}
inline Crc32c::Method CheckMethod() { return Crc32c::Best(); }
#endif
