#pragma once
// SIGINT and SIGTERM for a command that runs until stopped: while this object
// lives they are blocked in every thread started after it and taken by a
// thread of its own, so a long wait ends at once and a request under way is
// finished first. A second signal ends the process at once (status 130).
//
// Usage: StopSignals stop;            // before any other thread starts
//        while (!stop.wait_for(interval)) { ...poll... }

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <signal.h>

namespace cli {

class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  bool stopped() const;
  // Waits up to `time`; true when a stop signal came (before or meanwhile).
  bool wait_for(std::chrono::milliseconds time);

 private:
  sigset_t m_signals;
  sigset_t m_previous;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  int m_received = 0;
  bool m_closing = false;
  std::thread m_thread;
};

}  // namespace cli
