#pragma once
// Keeps operations that fill or read the whole order list (the list fetches,
// the detail fetch, the reminder's poll, the import, batch shipping) from
// interleaving. Unlike a mutex it may be released by another thread than the
// one that acquired it, so a UI-thread operation can acquire it inside
// Form::wait.
//
// Usage: TableLock::Hold hold(ctx.table->lock, ctx.form);   // waits its turn
//        TableLock::Hold hold(ctx.table->lock, ctx.form, TableLock::ui_patience());
//        if (!hold.owns()) { tell_table_busy(ctx.form); return; }  // UI thread: never for long

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace app {

class Form;

class TableLock {
 public:
  void acquire();
  bool try_acquire();
  bool try_acquire_for(std::chrono::milliseconds patience);
  void release();

  // How long a UI-thread operation waits for the table before telling the
  // merchant it is busy (a long batch must not leave the window deaf): 3 s,
  // settable for tests.
  static std::chrono::milliseconds ui_patience();
  static void set_ui_patience(std::chrono::milliseconds patience);

  // RAII: acquires through form.wait (so the UI keeps painting), releases on
  // scope exit. With a patience it gives up after that long; see owns().
  class Hold {
   public:
    Hold(TableLock& lock, Form& form);
    Hold(TableLock& lock, Form& form, std::chrono::milliseconds patience);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    bool owns() const { return m_owns; }

   private:
    TableLock& m_lock;
    bool m_owns = false;
  };

 private:
  std::mutex m_mutex;
  std::condition_variable m_released;
  bool m_busy = false;
};

// The message a UI-thread operation shows when the table stayed busy.
void tell_table_busy(Form& form);

}  // namespace app
