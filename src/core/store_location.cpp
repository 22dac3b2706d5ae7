#include "core/store_location.h"

#include "store/migration.h"
#include "store/pg.h"
#include "web/text.h"

namespace app {

namespace {

const Text kSection = "store";

// The url's own user and host, to look its password up under; empty when
// the url names a password itself.
std::pair<std::string, std::string> user_and_host(const std::string& url) {
  const auto settings = store::pg::settings_of(url);
  if (!settings || settings->contains("password")) return {};
  auto value = [&](const char* key) {
    const auto it = settings->find(key);
    return it == settings->end() ? std::string() : it->second;
  };
  return {value("user"), value("host")};
}

}  // namespace

std::string store_url(const Settings& settings) {
  return web::gbk_to_utf8(web::trim_spaces(settings.read_setting("url", kSection)));
}

std::optional<store::Database::Shared> shared_store(const Settings& settings) {
  const std::string url = store_url(settings);
  if (url.empty()) return std::nullopt;
  return shared_store_at(settings, url);
}

store::Database::Shared shared_store_at(const Settings& settings, const std::string& url) {
  std::string password;
  const auto [user, host] = user_and_host(url);
  if (!user.empty() && settings.password_keeper())
    if (auto kept = settings.password_keeper()->read(user, host)) password = web::gbk_to_utf8(*kept);
  return store::Database::Shared{url, password};
}

std::unique_ptr<store::Database> open_store(const Settings& settings) {
  const auto shared = shared_store(settings);
  std::unique_ptr<store::Database> db =
      shared ? std::make_unique<store::Database>(*shared)
             : std::make_unique<store::Database>(store::Database::beside(settings.path()));
  db->set_station(web::gbk_to_utf8(web::trim_spaces(settings.read_setting("station", kSection))));
  db->set_claim_lease(settings.read_number("lease", kSection, 60, 1, 24 * 3600));
  std::string ignored;  // a store that cannot be written says so where it matters
  if (db->ok()) store::note_station(*db, &ignored);
  return db;
}

}  // namespace app
