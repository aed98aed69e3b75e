// Where the run's time goes, for the benchmark: the run says when each
// phase ends and when each payload check starts and ends, and asks which
// checksum method to use. The shipped program links package/PhaseMarksNone.cpp,
// where every mark does nothing and the method is the best; the benchmark's
// wizard links bench/PhaseMarks.cpp instead, which records the marks, writes
// them out when the run is over and takes the method (instruction, folding
// or table) from its environment, so that each is measured. A link-time
// seam, so that every source is compiled once, alike for both.
#pragma once

#include "package/Crc32c.h"

void MarkPhaseEnd(const char *phase);
void MarkCheckStart();
void MarkCheckEnd();
void WritePhaseMarks();
Crc32c::Method CheckMethod();
