// weihe-cli poll: the new-order reminder's poll, once or every interval until
// stopped, one JSON line per poll: the new orders (never seen by the window
// or weihe-cli before) and the count waiting to be shipped.
#include <climits>

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
  auto session = logged_in_session(options);
  if (!session) return kFailed;
  app::Context& ctx = session->ctx();
  CliForm& form = session->form();
  const long long interval =
      poll.interval_ms ? *poll.interval_ms : web::to_integer(form.text("编辑框5"));
  const auto pause = std::chrono::milliseconds(std::clamp<long long>(interval, 1, INT_MAX));

  backoffice::NewOrderReminder reminder(ctx);
  while (!stop.stopped()) {
    reminder.poll();
    form.join_workers();
    const auto result = reminder.last_poll().value_or(backoffice::PollResult{});
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
    if (poll.notify && result.fresh() > 0)
      notify_desktop(backoffice::new_orders_title(result.fresh_rows.size()),
                     backoffice::new_orders_body(result.fresh_rows), form);
    Output out("");
    out.line(json_line(line));
    if (finish_output(out, form) != kDone) return kFailed;
    if (poll.once) return result.to_ship ? kDone : kFailed;
    if (stop.wait_for(pause)) break;
    // The list could not be read (session ended, back office away): log in anew.
    if (!result.to_ship) session->log_in();
  }
  form.say("已停止轮询");
  return kDone;
}

}  // namespace cli
