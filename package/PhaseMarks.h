// Where the run's time goes, for the benchmark: a build made for it
// (WIZARD_PHASE_MARKS) records when each phase ends and how long the digest
// took in all, and writes them out when the run is over. The shipped
// program carries none of it: here every mark is an empty inline function.
#pragma once

#ifdef WIZARD_PHASE_MARKS
void MarkPhaseEnd(const char *phase);
void AddDigestTime(double milliseconds);
double PhaseClockMilliseconds();
void WritePhaseMarks();
#else
inline void MarkPhaseEnd(const char *) {}
inline void AddDigestTime(double) {}
inline double PhaseClockMilliseconds() { return 0; }
inline void WritePhaseMarks() {}
#endif
