#include "cli/stop_signals.h"

#include <cstdlib>

namespace cli {

StopSignals::StopSignals() {
  sigemptyset(&m_signals);
  sigaddset(&m_signals, SIGINT);
  sigaddset(&m_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &m_signals, &m_previous);
  m_thread = std::thread([this] {
    for (;;) {
      int signal = 0;
      if (sigwait(&m_signals, &signal) != 0) continue;
      std::lock_guard lock(m_mutex);
      if (m_closing) return;
      if (++m_received >= 2) std::_Exit(130);
      m_changed.notify_all();
    }
  });
}

StopSignals::~StopSignals() {
  {
    std::lock_guard lock(m_mutex);
    m_closing = true;
  }
  pthread_kill(m_thread.native_handle(), SIGTERM);
  m_thread.join();
  pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

bool StopSignals::stopped() const {
  std::lock_guard lock(m_mutex);
  return m_received > 0;
}

bool StopSignals::wait_for(std::chrono::milliseconds time) {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, time, [this] { return m_received > 0; });
}

}  // namespace cli
