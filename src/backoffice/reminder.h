#pragma once
// The new-order reminder: 按钮7 switches it on (timer interval from 编辑框5) and
// off; every tick of 时钟1 polls the to-ship list in the background and
// announces the orders no poll or list fetch has seen before (aloud, in the
// log and as a desktop notification). The poll never rewrites a table the merchant imported or
// listed otherwise: it only refreshes the table when that shows the to-ship
// list, carrying over the detail and status columns of orders still listed.
// A tick that comes while a poll still runs is skipped.
//
// Usage: NewOrderReminder reminder(ctx);
//        reminder.toggle();   // 按钮7
//        reminder.poll();     // 时钟1, returns at once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "core/context.h"

namespace backoffice {

// What the last finished poll found.
struct PollResult {
  std::optional<int> to_ship;  // orders waiting to be shipped; none when the list was not read
  std::vector<app::OrderRow> fresh_rows;  // the orders announced as new (never seen before)
  int fresh() const { return static_cast<int>(fresh_rows.size()); }
};

class NewOrderReminder {
 public:
  explicit NewOrderReminder(app::Context& ctx);

  void toggle();
  void poll();
  bool polling() const;
  std::optional<PollResult> last_poll() const;  // none before the first poll ends

 private:
  struct State {
    mutable std::mutex mutex;
    bool busy = false;
    std::optional<PollResult> last_poll;
  };
  static void run_poll(app::Context& ctx, State& state);

  app::Context& m_ctx;
  std::shared_ptr<State> m_state = std::make_shared<State>();
};

}  // namespace backoffice
