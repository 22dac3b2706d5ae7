#include "cli/session.h"

#include "backoffice/session.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/archive_keeping.h"
#include "core/startup.h"
#include "core/store_location.h"
#include "backoffice/login.h"

namespace cli {

using web::gbk;

Session::Session(const SessionOptions& options, std::filesystem::path settings_file, app::Shop shop)
    : m_settings(std::move(settings_file)),
      m_shop(std::move(shop)),
      m_database(app::open_store(m_settings)),
      m_form(options.voice),
      m_ctx{m_form, m_settings, app::hosts_of(m_settings)} {
  m_ctx.database = m_database.get();
  m_ctx.archive = &m_archive;
  app::serve_shop(m_ctx, m_shop, &m_http);
  backoffice::install_session_hooks(m_ctx);
  app::fill_settings_boxes(m_form, m_settings);
  m_form.set_text("编辑框1", m_shop.account);
  m_form.set_text("编辑框2", m_shop.password);
  app::claim_records_without_shop(m_ctx);
  app::forget_expired_orders(m_ctx);
}

std::filesystem::path settings_path_of(const SessionOptions& options) {
  return options.settings_file.empty() ? app::Settings::default_path()
                                       : std::filesystem::path(options.settings_file);
}

std::optional<std::string> read_password_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::unique_ptr<Session> Session::open(const SessionOptions& options, std::string* error) {
  std::filesystem::path file = settings_path_of(options);
  std::error_code ec;
  if (!options.settings_file.empty() && !options.account && !std::filesystem::exists(file, ec)) {
    *error = "没有找到配置文件：" + options.settings_file;
    return nullptr;
  }
  std::optional<std::string> password;
  if (!options.password_file.empty()) {
    password = read_password_file(options.password_file);
    if (!password) {
      *error = "读不了密码文件：" + options.password_file;
      return nullptr;
    }
  }
  app::Settings settings(file);
  std::optional<app::Shop> shop = read_shops(settings).front();
  if (!options.shop.empty()) shop = app::find_shop(settings, web::utf8_to_gbk(options.shop));
  if (!shop) {
    *error = "没有这个店铺：" + options.shop + "（weihe-cli shops 列出所有店铺）";
    return nullptr;
  }
  std::unique_ptr<Session> session(new Session(options, std::move(file), std::move(*shop)));
  if (options.account) session->m_form.set_text("编辑框1", web::utf8_to_gbk(*options.account));
  if (password) session->m_form.set_text("编辑框2", web::utf8_to_gbk(*password));
  return session;
}

bool Session::log_in() {
  backoffice::login(m_ctx);
  if (m_form.is_enabled("按钮2")) return true;  // a login enables the list buttons
  const std::string account = for_people(m_form.text("编辑框1"));
  if (account.empty())
    m_form.say("登录失败：没有账号（配置文件 " + m_settings.path().string() +
                   " 里没有，也没有 --account）",
               true);
  else if (const int tls = web::find_text(m_form.log(), gbk("证书验证不通过")); tls != -1)
    m_form.say("登录失败：" + for_people(m_ctx.hosts.backoffice) + " 的" +
                   for_people(web::text_between(m_form.log(), gbk("后台的"), gbk("======"))) +
                   "。没有发送密码",
               true);
  else if (web::find_text(m_form.log(), gbk("无法连接")) != -1)
    m_form.say("登录失败：连不上蔚禾商城后台 " + for_people(m_ctx.hosts.backoffice) + "（看看配置文件的" +
                   (m_shop.first ? std::string("hosts 一节") : for_people(app::shop_section(m_shop.label)) + " 一节") +
                   "和网络）",
               true);
  else if (m_form.text("编辑框2").empty())
    // The window keeps passwords in the desktop's keyring where there is one.
    m_form.say("登录失败：配置文件 " + m_settings.path().string() + " 里没有账号“" + account +
                   "”的密码（窗口可能把它存进了桌面的钥匙环）；请用 --password-file FILE",
               true);
  else
    m_form.say("登录失败：账号“" + account + "”或密码不对（配置文件：" +
                   m_settings.path().string() + "）",
               true);
  return false;
}

std::unique_ptr<Session> local_session(const SessionOptions& options) {
  std::string error;
  std::unique_ptr<Session> session = Session::open(options, &error);
  if (!session) std::fprintf(stderr, "weihe-cli: %s\n", error.c_str());
  return session;
}

std::optional<std::vector<std::string>> shops_to_run(const SessionOptions& options) {
  if (!options.all_shops) return std::vector<std::string>{options.shop};
  const std::filesystem::path file = settings_path_of(options);
  std::error_code ec;
  if (!options.settings_file.empty() && !std::filesystem::exists(file, ec)) {
    std::fprintf(stderr, "weihe-cli: 没有找到配置文件：%s\n", options.settings_file.c_str());
    return std::nullopt;
  }
  std::vector<std::string> labels;
  for (const app::Shop& shop : app::read_shops(app::Settings(file)))
    labels.push_back(web::gbk_to_utf8(shop.label));
  return labels;
}

std::unique_ptr<Session> logged_in_session(const SessionOptions& options) {
  std::unique_ptr<Session> session = local_session(options);
  if (!session || !session->log_in()) return nullptr;
  return session;
}

}  // namespace cli
