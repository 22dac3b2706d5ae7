// How fast e-waybills come: 500 to-ship orders (details already read) get
// their waybills from the stand-in provider 50 ms away, four at once, and
// their labels written as one PDF; and 500 labels alone to PDF. Prints a
// table of figures against their targets; exits 1 when one is missed.
//
// Usage: build-rel/bench/bench_waybill [ORDERS]
#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/headless/memory_form.h"
#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "bench/timing.h"
#include "core/context.h"
#include "fulfilment/shipping.h"
#include "mall/stand_in_mall.h"
#include "printing/label.h"
#include "store/database.h"
#include "waybill/account.h"
#include "waybill/provider.h"
#include "waybill/waybill_orders.h"
#include "web/http.h"

namespace {

using web::gbk;

bool log_in(app::Context& ctx, const mall::StandInMall& mall) {
  const web::Text url = ctx.backoffice_url("/site/login");
  const web::Text token = web::text_between(web::page_text(web::http_request(url)), "csrf-token\" content=\"",
                                            gbk("\">\n    <title>商户"));
  const web::Text reply = web::page_text(web::http_request(
      url, 1,
      "_csrf-business=" + web::form_encode(token) + "&BusinessLoginFrom[username]=" + mall.options().account +
          "&BusinessLoginFrom[password]=" + mall.options().password + "&login-button=&login-button="));
  ctx.csrf_token.set(token);
  return web::find_text(reply, gbk("欢迎来到蔚禾商城!")) != -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int orders = argc > 1 ? std::atoi(argv[1]) : 500;
  static int qt_argc = 3;
  static char name[] = "bench_waybill", option[] = "-platform", platform[] = "offscreen";
  static char* qt_argv[] = {name, option, platform, nullptr};
  QGuiApplication app(qt_argc, qt_argv);
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "weihe-bench-waybill";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);

  mall::Options options;
  options.seeded_orders = 0;
  mall::StandInMall mall(options);
  mall.add_orders(orders, 20);
  app::Settings settings(dir / "settings.ini");
  app::MemoryForm form;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
  app::Context ctx{.form = form, .settings = settings, .hosts = {mall.backoffice_host(), mall.image_host(), {}}};
#pragma GCC diagnostic pop
  store::Database db(dir / "weihe-orders.db");
  ctx.database = &db;
  if (!log_in(ctx, mall)) {
    std::fprintf(stderr, "the stand-in refused the login\n");
    return 1;
  }
  backoffice::fetch_orders_to_ship(ctx);
  backoffice::fetch_order_details(ctx);
  fulfilment::fetch_from_address_id(ctx);

  waybill::Account account;
  account.provider = "kuaidi100";
  account.endpoint = "http://" + mall.waybill_host() + "/label/order";
  account.courier = "yuantong";
  account.key = mall.options().waybill.key;
  account.secret = mall.options().waybill.secret;
  account.partner_id = "bench";
  std::string why;
  auto provider = waybill::make_provider(account, waybill::http_post(&ctx), &why);
  if (!provider) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
  }
  mall.set_latency(std::chrono::milliseconds(50));
  mall.set_waybill_latency(std::chrono::milliseconds(50));

  const QString pdf = QString::fromStdString((dir / "labels.pdf").string());
  std::vector<printing::LabelData> labels;
  int ordered = 0;
  QString error;
  const double order_ms = median_ms(1, [&] {
    for (const waybill::WaybillOutcome& o : waybill::order_waybills(ctx, *provider, account, {}, {})) {
      ordered += o.result == "ordered";
      if (!o.label.waybill_number.isEmpty()) labels.push_back(o.label);
    }
    printing::write_labels_pdf(pdf, labels, printing::Paper::Label100x150, true, &error);
  });
  const double labels_ms =
      median_ms(5, [&] { printing::write_labels_pdf(pdf, labels, printing::Paper::Label100x150, true, &error); });
  if (!error.isEmpty() || ordered != orders) {
    std::fprintf(stderr, "ordered %d of %d; %s\n", ordered, orders, error.toStdString().c_str());
    return 1;
  }
  table_heading("figure");
  const std::string order_what = std::to_string(orders) + " waybills 50 ms away, and their labels";
  const std::string label_what = std::to_string(labels.size()) + " labels to PDF (median of 5)";
  table_row(order_what.c_str(), order_ms, "ms", "< 8000", order_ms < 8000);
  table_row(label_what.c_str(), labels_ms, "ms", "< 1000", labels_ms < 1000);
  std::filesystem::remove_all(dir);
  return order_ms < 8000 && labels_ms < 1000 ? 0 : 1;
}
