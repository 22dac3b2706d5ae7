// weihe-cli poll: the new-order reminder's poll, once or every interval until
// stopped, one JSON line per poll.
#include <climits>

#include "backoffice/reminder.h"
#include "cli/commands.h"
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
    Json line = {{"time", store::now_with_offset()}, {"new", result.fresh}, {"to_ship", nullptr}};
    if (result.to_ship) line["to_ship"] = *result.to_ship;
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
