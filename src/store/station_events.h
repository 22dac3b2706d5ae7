#pragma once
// What packing stations sharing a store tell each other: a row in the events
// table per change (an order shipped, say), its id sent with NOTIFY on
// channel "weihe_events" in the same transaction. A listener holds a
// connection of its own, LISTENs, and hands every event after the last one
// it saw to its callback, on its own thread, within a second; after the
// connection is lost it connects again and catches up from that id, so no
// event is missed. On the file (one station) there is nothing to tell.
//
// Usage: store::StationEvents events(url, password, [](const store::StationEvent& e) { ... });

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "store/database.h"

namespace store {

struct StationEvent {
  std::int64_t id = 0;
  std::string shop, order_id, kind, station, detail;  // kind: "shipped" (detail: the tracking number)
};

// Within work on a shared store: records that journal entry `shipment_id`
// shipped its order and notifies the listeners (delivered when the work's
// transaction commits). Nothing on the file.
bool publish_shipped(Database::Connection& db, std::int64_t shipment_id, std::string* why);

class StationEvents {
 public:
  using Callback = std::function<void(const StationEvent&)>;
  // Listens on the store of `url` from its newest event on.
  StationEvents(std::string url, std::string password, Callback callback);
  ~StationEvents();
  StationEvents(const StationEvents&) = delete;
  StationEvents& operator=(const StationEvents&) = delete;

  std::int64_t last_seen() const { return m_last.load(); }

 private:
  void listen();

  const std::string m_url, m_password;
  Callback m_callback;
  std::atomic<bool> m_stop{false};
  std::atomic<std::int64_t> m_last{-1};  // -1: start from the newest
  std::thread m_thread;
};

}  // namespace store
