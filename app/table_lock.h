#pragma once
// Keeps operations that fill or read the whole order list (the list fetches,
// the detail fetch, the reminder's poll, the import, batch shipping) from
// interleaving. Unlike a mutex it may be released by another thread than the
// one that acquired it, so a UI-thread operation can acquire it inside
// Form::wait.
//
// Usage: TableLock::Hold hold(ctx.table_lock, ctx.form);   // waits its turn
//        if (!ctx.table_lock.try_acquire()) { ...busy... }

#include <condition_variable>
#include <mutex>

namespace app {

class Form;

class TableLock {
 public:
  void acquire();
  bool try_acquire();
  void release();

  // RAII: acquires through form.wait (so the UI keeps painting), releases on scope exit.
  class Hold {
   public:
    Hold(TableLock& lock, Form& form);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    TableLock& m_lock;
  };

 private:
  std::mutex m_mutex;
  std::condition_variable m_released;
  bool m_busy = false;
};

}  // namespace app
