// What the benchmark's Windows-side programs share: a clock and medians.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

// Milliseconds on the system-wide performance counter, which every process
// reads alike.
inline double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}
