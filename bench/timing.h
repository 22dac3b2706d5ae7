#pragma once
// The median wall time of a few runs of some work, and the table of
// figures, for the benchmarks that print their own tables.
//
// Usage: double ms = median_ms(5, [&] { work(); });

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

inline double median_ms(int runs, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The figures' table as the benchmarks print it: a heading, then a row per
// figure with its target and whether it was met.
inline void table_heading(const char* what) {
  std::printf("| %-44s | %14s | %-12s | %-4s |\n", what, "value", "target", "met");
  std::printf("|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(16, '-').c_str(),
              std::string(14, '-').c_str(), std::string(6, '-').c_str());
}

inline void table_row(const char* what, double value, const char* unit, const char* target, bool met) {
  std::printf("| %-44s | %10.1f %-3s | %-12s | %-4s |\n", what, value, unit, target, met ? "yes" : "NO");
}
