// weihe-cli report: the shop's figures over the order archive, without a
// login (--refresh first lists every order with its details, logged in, so
// the archive is current); one JSON object, the periods as TSV, a workbook,
// or the 统计 page as a one-page PDF.
#include <ctime>
#include <memory>

#include "charts/report_pdf.h"
#include "cli/commands.h"
#include "cli/offscreen.h"
#include "cli/output.h"
#include "backoffice/order_details.h"
#include "core/archive_keeping.h"
#include "report/report_output.h"

namespace cli {

int run_report(const SessionOptions& options, const ReportOptions& report_options) {
  const std::string today = report::today();
  report::Range range = report::preset_range(report::Preset::Last30Days, today);
  if (!report_options.since.empty()) range.since = report_options.since;
  if (!report_options.until.empty()) range.until = report_options.until;
  if (const auto problem = report::range_problem(range)) {
    std::fprintf(stderr, "weihe-cli report: %s\n", problem->c_str());
    return kUsage;
  }
  if ((report_options.format == "xlsx" || report_options.format == "pdf") && report_options.output.empty()) {
    std::fprintf(stderr, "weihe-cli report: --format %s needs -o FILE\n", report_options.format.c_str());
    return kUsage;
  }
  std::unique_ptr<Session> session =
      report_options.refresh ? logged_in_session(options) : local_session(options);
  if (!session) return kFailed;
  CliForm& form = session->form();
  if (!session->database().ok()) {
    form.say(session->database().error(), true);
    return kFailed;
  }
  if (report_options.refresh) {
    if (!fetch_order_list(*session, "all")) return kFailed;
    backoffice::fetch_order_details(session->ctx());
  }

  report::ReportRequest request;
  request.range = range;
  request.by = report::grouping_named(report_options.by).value_or(report::Grouping::Day);
  request.now = std::time(nullptr);
  request.late_hours = report::late_hours_setting(session->settings());
  std::string error;
  const auto r = report::make_report(session->archive(), app::shop_of(session->ctx()), request, &error);
  if (!r) {
    form.say("订单存档读不了：" + error, true);
    return kFailed;
  }
  if (const std::string why = report::empty_report_sentence(*r); !why.empty()) form.say(why);

  if (report_options.format == "xlsx") {
    const std::string why = report::write_report_workbook(report_options.output, *r);
    if (!why.empty()) form.say(why, true);
    return why.empty() ? kDone : kFailed;
  }
  if (report_options.format == "pdf") {
    const auto application = offscreen_application(Painting::Widgets);  // charts are widgets
    QString why;
    if (!charts::write_report_pdf(QString::fromStdString(report_options.output), *r,
                                  QString::fromStdString(app::shop_of(session->ctx())), &why)) {
      form.say(why.toStdString(), true);
      return kFailed;
    }
    return kDone;
  }
  Output out(report_options.output);
  if (report_options.format == "tsv")
    for (const std::string& line : report::report_tsv(*r)) out.line(line);
  else
    out.line(tagged_with_shop(report::report_json(*r).dump(), options));
  return finish_output(out, form);
}

}  // namespace cli
