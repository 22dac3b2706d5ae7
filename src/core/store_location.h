#pragma once
// Where this station keeps its records, from section "store" of the settings
// file: key "url" a libpq connection string for the store several packing
// stations share (without it, "weihe-orders.db" beside the settings file);
// "station" the name this station's records carry (default: the host name);
// "lease" the seconds after which a claim whose request never left may be
// taken over (default 60). A password the url leaves out is looked up in the
// settings' password keeper under the url's user and host.
//
// Usage: std::unique_ptr<store::Database> db = app::open_store(settings);

#include <memory>
#include <optional>

#include "core/settings.h"
#include "store/database.h"

namespace app {

std::unique_ptr<store::Database> open_store(const Settings& settings);
// The shared store of section "store" with its password; nothing without a url.
std::optional<store::Database::Shared> shared_store(const Settings& settings);
// The same for `url` (UTF-8) as typed, not yet saved.
store::Database::Shared shared_store_at(const Settings& settings, const std::string& url);
// The url of section "store" (UTF-8); empty: the file beside the settings.
std::string store_url(const Settings& settings);

}  // namespace app
