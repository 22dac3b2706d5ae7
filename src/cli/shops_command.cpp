// weihe-cli shops: the shops of the settings file, each tried with a login;
// shops add / shops remove edit the file as the window's settings do.
#include "cli/commands.h"
#include "cli/output.h"

namespace cli {

int run_shops(const SessionOptions& options) {
  SessionOptions every = options;
  every.all_shops = true;
  const auto labels = shops_to_run(every);
  if (!labels) return kFailed;
  int failed = 0;
  Output out("");
  for (const std::string& label : *labels) {
    SessionOptions one = options;
    one.shop = label;
    auto session = local_session(one);
    if (!session) return kFailed;
    const app::Shop& shop = session->shop();
    const bool logs_in = session->log_in();
    failed += logs_in ? 0 : 1;
    out.line(json_line({{"shop", label},
                        {"first", shop.first},
                        {"backoffice", json_text(shop.hosts.backoffice)},
                        {"account", json_text(shop.account)},
                        {"logs_in", logs_in},
                        {"store", json_text(session->ctx().store_name.get())}}));
  }
  const int written = finish_output(out, CliForm(options.voice));
  if (written != kDone) return written;
  return failed == 0 ? kDone : failed == static_cast<int>(labels->size()) ? kFailed : kSomeRowsFailed;
}

int run_shops_add(const SessionOptions& options, const ShopAddOptions& add) {
  const std::optional<std::string> password = read_password_file(add.password_file);
  if (!password) {
    std::fprintf(stderr, "weihe-cli shops add: 读不了密码文件：%s\n", add.password_file.c_str());
    return kFailed;
  }
  app::Settings settings(settings_path_of(options));
  app::Shop shop;
  shop.label = web::utf8_to_gbk(add.label);
  shop.hosts = {web::utf8_to_gbk(add.backoffice), web::utf8_to_gbk(add.images),
                web::utf8_to_gbk(add.tracking)};
  shop.account = web::utf8_to_gbk(add.account);
  shop.password = web::utf8_to_gbk(*password);
  web::Text why;
  if (!app::save_shop(settings, shop, &why)) {
    std::fprintf(stderr, "weihe-cli shops add: %s\n", web::gbk_to_utf8(why).c_str());
    return kUsage;
  }
  return kDone;
}

int run_shops_remove(const SessionOptions& options, const std::string& label) {
  app::Settings settings(settings_path_of(options));
  web::Text why;
  if (!app::remove_shop(settings, web::utf8_to_gbk(label), &why)) {
    std::fprintf(stderr, "weihe-cli shops remove: %s\n", web::gbk_to_utf8(why).c_str());
    return kFailed;
  }
  return kDone;
}

}  // namespace cli
