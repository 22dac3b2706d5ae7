#pragma once
// The median wall time of a few runs of some work, for the benchmarks that
// print their own tables.
//
// Usage: double ms = median_ms(5, [&] { work(); });

#include <algorithm>
#include <chrono>
#include <functional>
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
