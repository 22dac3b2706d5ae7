#pragma once
// Moving a station's own records into the store the stations share: the
// shipping journal, the seen order ids, the tracking answers and the waybill
// journal of the file, copied slice by slice into the server, each record
// once however often it runs (a record already there is kept as it is).
// Records from before stations were named get this station's name.
//
// Usage: auto copied = store::copy_records(file_db, shared_db, &error);

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "store/database.h"

namespace store {

// Records copied per table ("shipments", "seen_orders", ...), or nothing with `error`.
std::optional<std::map<std::string, std::int64_t>> copy_records(Database& from, Database& to,
                                                                std::string* error);

// Notes this station as seen now in the store (the stations `weihe-cli store
// check` lists); false with `error` when the store cannot be written.
bool note_station(Database& db, std::string* error);

struct StationSeen {
  std::string name;
  std::int64_t last_seen = 0;  // Unix time
};
std::vector<StationSeen> stations(Database& db, std::string* error);

}  // namespace store
