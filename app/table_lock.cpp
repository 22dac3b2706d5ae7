#include "app/table_lock.h"

#include "app/form.h"

namespace app {

void TableLock::acquire() {
  std::unique_lock lock(m_mutex);
  m_released.wait(lock, [this] { return !m_busy; });
  m_busy = true;
}

bool TableLock::try_acquire() {
  std::lock_guard lock(m_mutex);
  if (m_busy) return false;
  m_busy = true;
  return true;
}

void TableLock::release() {
  {
    std::lock_guard lock(m_mutex);
    m_busy = false;
  }
  m_released.notify_one();
}

TableLock::Hold::Hold(TableLock& lock, Form& form) : m_lock(lock) {
  if (!m_lock.try_acquire()) form.wait([this] { m_lock.acquire(); });
}

TableLock::Hold::~Hold() { m_lock.release(); }

}  // namespace app
