#include "store/station_events.h"

#include <poll.h>

#include <chrono>

#include "store/pg.h"
#include "store/statement.h"

namespace store {

bool publish_shipped(Database::Connection& db, std::int64_t shipment_id, std::string* why) {
  if (!db.pg) return true;
  Statement st(db,
               "WITH e AS (INSERT INTO events (shop, order_id, kind, station, detail, time) "
               "SELECT shop, order_id, 'shipped', station, tracking_no, extract(epoch FROM now())::bigint "
               "FROM shipments WHERE id = ? RETURNING id) "
               "SELECT pg_notify('weihe_events', id::text) FROM e");
  st.bind(1, shipment_id);
  const int rc = st.step();
  return rc == SQLITE_ROW || rc == SQLITE_DONE || (*why = st.error(), false);
}

StationEvents::StationEvents(std::string url, std::string password, Callback callback)
    : m_url(std::move(url)), m_password(std::move(password)), m_callback(std::move(callback)) {
  m_thread = std::thread([this] { listen(); });
}

StationEvents::~StationEvents() {
  m_stop = true;
  m_thread.join();
}

namespace {

// Hands the events after `*last` to `callback`; false when the connection failed.
bool catch_up(pg::Connection& c, std::atomic<std::int64_t>& last,
              const StationEvents::Callback& callback) {
  int code = 0;
  if (last.load() < 0) {
    pg::Result newest = c.run("SELECT coalesce(max(id), 0) FROM events", {}, &code);
    if (!newest) return false;
    last = std::atoll(PQgetvalue(newest.get(), 0, 0));
    return true;
  }
  for (;;) {  // in slices: a station away for a day catches up without one huge read
    pg::Result r = c.run(
        "SELECT id, shop, order_id, kind, station, detail FROM events WHERE id > ? ORDER BY id LIMIT 1000",
        {std::to_string(last.load())}, &code);
    if (!r) return false;
    const int n = PQntuples(r.get());
    for (int i = 0; i < n; ++i) {
      StationEvent e{std::atoll(PQgetvalue(r.get(), i, 0)), PQgetvalue(r.get(), i, 1),
                     PQgetvalue(r.get(), i, 2), PQgetvalue(r.get(), i, 3), PQgetvalue(r.get(), i, 4),
                     PQgetvalue(r.get(), i, 5)};
      last = e.id;
      callback(e);
    }
    if (n < 1000) return true;
  }
}

}  // namespace

void StationEvents::listen() {
  using namespace std::chrono;
  auto pause = milliseconds(200);
  while (!m_stop) {
    std::string error;
    std::unique_ptr<pg::Connection> c = pg::connect(m_url, m_password, &error, "weihe-orders-events");
    int code = 0;
    // LISTEN first, then read what came before it: nothing falls between.
    if (c && c->run("LISTEN weihe_events", {}, &code) && catch_up(*c, m_last, m_callback)) {
      pause = milliseconds(200);
      const int socket = PQsocket(c->get());
      while (!m_stop && PQstatus(c->get()) == CONNECTION_OK) {
        pollfd p{socket, POLLIN, 0};
        if (::poll(&p, 1, 250) < 0) break;
        if (!PQconsumeInput(c->get())) break;
        bool notified = false;
        while (PGnotify* n = PQnotifies(c->get())) {
          notified = true;
          PQfreemem(n);
        }
        // The notification says only that there is news: the table says what.
        if (notified && !catch_up(*c, m_last, m_callback)) break;
      }
    }
    // Lost or never there: again after a pause that grows to five seconds.
    for (auto waited = milliseconds(0); !m_stop && waited < pause; waited += milliseconds(50))
      std::this_thread::sleep_for(milliseconds(50));
    pause = std::min(pause * 2, duration_cast<milliseconds>(seconds(5)));
  }
}

}  // namespace store
