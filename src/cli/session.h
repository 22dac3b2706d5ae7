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

#include "core/context.h"
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
  Voice voice;
};

class Session {
 public:
  // Nothing (with `error` in UTF-8) when the settings or password file cannot be read.
  static std::unique_ptr<Session> open(const SessionOptions& options, std::string* error);

  app::Context& ctx() { return m_ctx; }
  CliForm& form() { return m_form; }
  app::Settings& settings() { return m_settings; }
  store::Database& database() { return m_database; }
  store::OrderArchive& archive() { return m_archive; }

  // The login operation on the account of the settings file or the options;
  // false, with the reason said, when it did not log in.
  bool log_in();

 private:
  explicit Session(const SessionOptions& options, std::filesystem::path settings_file);

  app::Settings m_settings;
  store::Database m_database;  // beside the settings file
  store::OrderArchive m_archive{m_database};
  CliForm m_form;
  app::Context m_ctx;
};

// Opens a session and logs in; nothing (with the reason said) when either failed.
std::unique_ptr<Session> logged_in_session(const SessionOptions& options);
// Opens a session without logging in (for what is kept on this machine).
std::unique_ptr<Session> local_session(const SessionOptions& options);

}  // namespace cli
