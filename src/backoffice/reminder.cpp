#include "backoffice/reminder.h"

#include <algorithm>
#include <climits>
#include <string>
#include <unordered_map>

#include "core/shops.h"
#include "backoffice/new_orders.h"
#include "backoffice/order_lists.h"
#include "backoffice/shown_list.h"

namespace backoffice {

using web::gbk;
using web::Text;

namespace {

// Replaces the shown to-ship list with the fresh one; orders still listed keep
// what was added to their rows since (details, shipping status, tracking).
void refresh_to_ship_table(app::Context& ctx, std::vector<app::OrderRow> fresh) {
  const std::vector<app::OrderRow> old = ctx.form.rows(app::kOrderList);
  std::unordered_map<Text, const app::OrderRow*> by_id;
  for (const auto& row : old)
    if (row.size() > app::kColId && !row[app::kColId].empty())
      by_id.emplace(row[app::kColId], &row);
  for (auto& row : fresh) {
    auto it = by_id.find(row[app::kColId]);
    if (it == by_id.end()) continue;
    const app::OrderRow& before = *it->second;
    row.resize(std::max(row.size(), before.size()));
    std::copy(before.begin() + app::kColGoods, before.end(), row.begin() + app::kColGoods);
  }
  ctx.form.replace_rows(app::kOrderList, fresh);
  record_shown_list(ctx, kToShipList);
}

}  // namespace

NewOrderReminder::NewOrderReminder(app::Context& ctx) : m_ctx(ctx) {}

void NewOrderReminder::toggle() {
  app::Form& form = m_ctx.form;
  if (form.text("按钮7") == gbk("开启新订单提醒")) {
    const long long interval = web::to_integer(form.text("编辑框5"));
    form.set_timer_interval(static_cast<int>(std::clamp<long long>(interval, 0, INT_MAX)));
    form.set_text("按钮7", gbk("关闭新订单提醒"));
    form.append_log(gbk("=======开启新订单提醒======\r\n"));
  } else {
    form.set_text("按钮7", gbk("开启新订单提醒"));
    form.append_log(gbk("=======关闭新订单提醒======\r\n"));
    form.set_timer_interval(0);
  }
}

bool NewOrderReminder::polling() const {
  std::lock_guard lock(m_state->mutex);
  return m_state->busy;
}

std::optional<PollResult> NewOrderReminder::last_poll() const {
  std::lock_guard lock(m_state->mutex);
  return m_state->last_poll;
}

void NewOrderReminder::poll() {
  {
    std::lock_guard lock(m_state->mutex);
    if (m_state->busy) return;
    m_state->busy = true;
  }
  // The poll counts as running as long as its operation exists: the mark is
  // cleared when the worker lets go of it, or at once if no thread could be
  // started. The worker keeps the state alive even if the reminder goes first.
  struct BusyMark {
    std::shared_ptr<State> state;
    ~BusyMark() {
      std::lock_guard lock(state->mutex);
      state->busy = false;
    }
  };
  // Built in place: a temporary BusyMark would clear the mark as it goes.
  std::shared_ptr<BusyMark> mark(new BusyMark{m_state});
  m_ctx.form.start_worker([ctx = &m_ctx, mark] { run_poll(*ctx, *mark->state); });
}

void NewOrderReminder::run_poll(app::Context& ctx, State& state) {
  app::Form& form = ctx.form;
  std::optional<int> count;
  Sighting sighting;
  {
    app::TableLock::Hold hold(ctx.table->lock, form);
    auto rows = request_order_list(ctx, kToShipList);
    if (rows) {
      count = static_cast<int>(rows->size());
      // New means never seen by a poll or a list fetch: orders shipped
      // meanwhile cannot hide new ones. The very first sighting only learns.
      sighting = note_listed_orders(ctx, *rows);
      if (sighting.first) sighting.fresh.clear();
    }
    // An empty table, or one showing the to-ship list, shows what the poll
    // found: the orders announced are then there to see and to detail.
    if (rows && (form.row_count(app::kOrderList) == 0 || table_shows_list(ctx, kToShipList))) {
      refresh_to_ship_table(ctx, std::move(*rows));
      form.set_enabled("按钮6", true);
    }
  }
  const int fresh = static_cast<int>(sighting.fresh.size());
  {
    std::lock_guard lock(state.mutex);
    state.last_poll = PollResult{count, sighting.fresh};
  }
  if (count) {
    form.show_to_ship_count(*count);
    form.set_text("标签4", std::to_string(*count));  // 待发货 follows each poll
  }
  if (fresh == 0) {
    form.append_log(gbk("<<<<<<<<暂未获取到新订单..."));
    return;
  }
  std::vector<Text> ids;
  for (const app::OrderRow& row : sighting.fresh) ids.push_back(row[app::kColId]);
  form.show_new_orders(ids);
  const std::string n = std::to_string(fresh);
  // With several shops, every announcement says whose orders they are.
  const Text shop = app::read_shops(ctx.settings).size() > 1 ? ctx.shop_label : Text();
  if (shop.empty()) {
    form.speak(gbk("您有") + n + gbk("笔新的蔚禾商城订单，欧耶！"));
    form.append_log(gbk("获取到") + n + gbk("笔新订单，请查看..."));
  } else {
    form.speak(new_orders_title(sighting.fresh.size(), shop));
    form.append_log(new_orders_title(sighting.fresh.size(), shop) + gbk("，请查看..."));
  }
  form.notify(new_orders_title(sighting.fresh.size(), shop), new_orders_body(sighting.fresh));
}

}  // namespace backoffice
