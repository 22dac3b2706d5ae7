#include "core/table_lock.h"

#include <atomic>

#include "core/form.h"
#include "web/text.h"

namespace app {

namespace {
std::atomic<long long> g_ui_patience_ms{3000};
}  // namespace

std::chrono::milliseconds TableLock::ui_patience() {
  return std::chrono::milliseconds(g_ui_patience_ms.load());
}

void TableLock::set_ui_patience(std::chrono::milliseconds patience) {
  g_ui_patience_ms = patience.count();
}

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

bool TableLock::try_acquire_for(std::chrono::milliseconds patience) {
  std::unique_lock lock(m_mutex);
  if (!m_released.wait_for(lock, patience, [this] { return !m_busy; })) return false;
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

TableLock::Hold::Hold(TableLock& lock, Form& form) : m_lock(lock), m_owns(true) {
  if (!m_lock.try_acquire()) form.wait([this] { m_lock.acquire(); });
}

TableLock::Hold::Hold(TableLock& lock, Form& form, std::chrono::milliseconds patience)
    : m_lock(lock) {
  m_owns = m_lock.try_acquire();
  if (!m_owns) form.wait([this, patience] { m_owns = m_lock.try_acquire_for(patience); });
}

TableLock::Hold::~Hold() {
  if (m_owns) m_lock.release();
}

void tell_table_busy(Form& form) {
  form.message_box(
      web::gbk("订单列表正在被其他操作使用（批量发货、获取订单或详情），请稍后再试。"));
}

}  // namespace app
