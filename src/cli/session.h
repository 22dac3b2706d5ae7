#pragma once
// One run of a command: the settings file, the in-memory window filled from
// it as the window's creation fills it, the context every operation takes,
// and the login that every command starts with.
//
// Usage: auto session = Session::open(options, &error);
//        if (!session || !session->log_in()) return kFailed;
//        backoffice::fetch_all_orders(session->ctx());

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/context.h"
#include "core/shops.h"
#include "cli/cli_form.h"
#include "store/database.h"
#include "store/order_archive.h"

namespace cli {

// Exit statuses scripts can rely on.
enum Exit : int { kDone = 0, kFailed = 1, kUsage = 2, kSomeRowsFailed = 3 };

struct SessionOptions {
  std::string settings_file;  // empty: where the window keeps its settings
  std::optional<std::string> account;
  std::string password_file;  // empty: the settings file's password
  std::string shop;           // a shop's label (UTF-8); empty: the first shop
  bool all_shops = false;     // --all-shops: the command runs once per shop
  Voice voice;
};

class Session {
 public:
  // Nothing (with `error` in UTF-8) when the settings or password file cannot be read.
  static std::unique_ptr<Session> open(const SessionOptions& options, std::string* error);

  app::Context& ctx() { return m_ctx; }
  const app::Shop& shop() const { return m_shop; }
  CliForm& form() { return m_form; }
  app::Settings& settings() { return m_settings; }
  store::Database& database() { return *m_database; }
  store::OrderArchive& archive() { return m_archive; }

  // The login operation on the account of the settings file or the options;
  // false, with the reason said, when it did not log in.
  bool log_in();

 private:
  Session(const SessionOptions& options, std::filesystem::path settings_file, app::Shop shop);

  app::Settings m_settings;
  app::Shop m_shop;
  web::HttpSession m_http;  // a further shop's own cookie store
  std::unique_ptr<store::Database> m_database;  // beside the settings file, or shared
  store::OrderArchive m_archive{*m_database};
  CliForm m_form;
  app::Context m_ctx;
};

// The settings file a command uses: --settings, else the window's.
std::filesystem::path settings_path_of(const SessionOptions& options);
// The first line of a password file, without its line end.
std::optional<std::string> read_password_file(const std::string& path);

// Opens a session and logs in; nothing (with the reason said) when either failed.
std::unique_ptr<Session> logged_in_session(const SessionOptions& options);
// Opens a session without logging in (for what is kept on this machine).
std::unique_ptr<Session> local_session(const SessionOptions& options);

// The labels (UTF-8) a command runs for: every shop's with --all-shops, else
// the one chosen (empty: the first shop). Nothing, with the reason said,
// when the settings file cannot be read.
std::optional<std::vector<std::string>> shops_to_run(const SessionOptions& options);

}  // namespace cli
