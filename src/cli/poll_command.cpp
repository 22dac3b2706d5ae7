// weihe-cli poll: the new-order reminder's poll, once or every interval until
// stopped, one JSON line per poll: the new orders (never seen by the window
// or weihe-cli before) and the count waiting to be shipped.
#include <climits>
#include <memory>
#include <vector>

#include "backoffice/new_orders.h"
#include "backoffice/reminder.h"
#include "cli/commands.h"
#include "cli/desktop_notify.h"
#include "cli/output.h"
#include "cli/stop_signals.h"
#include "store/database.h"

namespace cli {

int run_poll(const SessionOptions& options, const PollOptions& poll) {
  StopSignals stop;
  const auto labels = shops_to_run(options);
  if (!labels) return kFailed;
  // Every shop polled in turn, each in its own session; a shop that cannot
  // log in is tried again at the next round and never stops the others.
  struct Polled {
    SessionOptions options;
    std::unique_ptr<Session> session;
    std::unique_ptr<backoffice::NewOrderReminder> reminder;
    bool logged_in = false;
  };
  std::vector<Polled> shops;
  for (const std::string& label : *labels) {
    Polled p{options, nullptr, nullptr};
    p.options.shop = label;
    p.session = local_session(p.options);
    if (!p.session) return kFailed;
    p.logged_in = p.session->log_in();
    p.reminder = std::make_unique<backoffice::NewOrderReminder>(p.session->ctx());
    shops.push_back(std::move(p));
  }
  if (!options.all_shops && !shops.front().logged_in) return kFailed;
  CliForm& first_form = shops.front().session->form();
  const long long interval =
      poll.interval_ms ? *poll.interval_ms : web::to_integer(first_form.text("编辑框5"));
  const auto pause = std::chrono::milliseconds(std::clamp<long long>(interval, 1, INT_MAX));

  while (!stop.stopped()) {
    bool all_read = true;
    for (Polled& p : shops) {
      CliForm& form = p.session->form();
      if (!p.logged_in) p.logged_in = p.session->log_in();
      backoffice::PollResult result;
      if (p.logged_in) {
        p.reminder->poll();
        form.join_workers();
        result = p.reminder->last_poll().value_or(backoffice::PollResult{});
      }
      Json orders = Json::array();
      for (const app::OrderRow& row : result.fresh_rows)
        orders.push_back({{"id", json_text(row[app::kColId])},
                          {"order_no", json_text(row[app::kColOrderNo])},
                          {"total", json_text(row[app::kColTotal])}});
      Json line = {{"time", store::now_with_offset()},
                   {"new", result.fresh()},
                   {"orders", orders},
                   {"to_ship", nullptr}};
      if (result.to_ship) line["to_ship"] = *result.to_ship;
      const app::Text label = options.all_shops ? p.session->ctx().shop_label : app::Text();
      if (poll.notify && result.fresh() > 0)
        notify_desktop(backoffice::new_orders_title(result.fresh_rows.size(), label),
                       backoffice::new_orders_body(result.fresh_rows), form);
      Output out("");
      out.line(tagged_with_shop(json_line(line), p.options));
      if (finish_output(out, form) != kDone) return kFailed;
      all_read = all_read && result.to_ship.has_value();
      // The list could not be read (session ended, back office away): log in anew next time.
      if (!result.to_ship) p.logged_in = false;
    }
    if (poll.once) return all_read ? kDone : kFailed;
    if (stop.wait_for(pause)) break;
  }
  first_form.say("已停止轮询");
  return kDone;
}

}  // namespace cli
