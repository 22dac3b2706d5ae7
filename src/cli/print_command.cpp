// weihe-cli print: a pick list or the packing slips of one order list (logged
// in, details fetched) or of a workbook's orders (offline, with the lines of
// its 商品明细 sheet), written as a PDF that appears whole or not at all.
#include <QFileInfo>

#include "cli/commands.h"
#include "cli/offscreen.h"
#include "exchange/import.h"
#include "printing/documents.h"
#include "printing/print_gathering.h"

namespace cli {

int run_print(const SessionOptions& options, const PrintCommandOptions& print) {
  const printing::Document document =
      print.document == "picklist" ? printing::Document::PickList : printing::Document::PackingSlips;
  const auto application = offscreen_application(Painting::Fonts);

  std::unique_ptr<Session> session =
      print.workbook.empty() ? logged_in_session(options) : local_session(options);
  if (!session) return kFailed;
  app::Context& ctx = session->ctx();
  CliForm& form = session->form();
  std::string source;
  if (print.workbook.empty()) {
    if (!fetch_order_list(*session, print.state)) return kFailed;
    const std::string state = state_text(print.state);
    source = (state.empty() ? "全部" : state) + "订单";
  } else {
    exchange::import_orders(ctx, web::utf8_to_gbk(print.workbook));
    if (!form.was_shown(web::gbk("你已经成功导入了"))) return kFailed;  // the refusal was said
    source = QFileInfo(QString::fromStdString(print.workbook)).fileName().toStdString();
  }

  const printing::PrintJob job = printing::gather_print_job(ctx, {}, document, web::utf8_to_gbk(source),
                                                            print.workbook.empty());
  if (!job.left_out.empty()) form.say(web::gbk_to_utf8(printing::left_out_sentence(job)), true);
  if (job.orders.empty()) {
    form.say("没有可以打印的订单，没有写PDF", true);
    return kFailed;
  }
  printing::PrintOptions how;
  how.paper = print.paper.empty() ? printing::remembered_paper(session->settings())
                                  : printing::paper_named(print.paper).value_or(printing::Paper::A4);
  how.mask_phone = printing::masks_phone(session->settings());
  how.order_numbers = print.order_numbers;
  how.sort = print.sort == "quantity" ? printing::PickSort::ByQuantity : printing::PickSort::ByName;
  QString error;
  if (!printing::write_pdf(QString::fromStdString(print.output), job, how, &error)) {
    form.say(error.toStdString(), true);
    return kFailed;
  }
  form.say(printing::document_title(document).toStdString() + "：" + std::to_string(job.orders.size()) +
           "笔订单，已写入 " + print.output);
  return job.left_out.empty() ? kDone : kSomeRowsFailed;
}

}  // namespace cli
