#pragma once
// Column lists both stores' schemas share (the file's migrations in
// database.cpp, the server's schema in database_server.cpp), so the two
// cannot drift apart. String-literal macros: the schemas are literals.
// `WIDE` is the 64-bit integer type of the store: INTEGER in SQLite, BIGINT
// in PostgreSQL.

// shipments, after its id: the shipping journal's entry, written before its
// request leaves and completed with the answer.
#define WEIHE_SHIPMENT_COLUMNS                                                                       \
  "  time TEXT NOT NULL,"                                                                            \
  "  batch TEXT NOT NULL DEFAULT '',"                                                                \
  "  order_id TEXT NOT NULL,"                                                                        \
  "  order_no TEXT NOT NULL,"                                                                        \
  "  courier TEXT NOT NULL,"                                                                         \
  "  tracking_no TEXT NOT NULL,"                                                                     \
  "  sender_id TEXT NOT NULL,"                                                                       \
  "  outcome TEXT NOT NULL DEFAULT 'unknown' CHECK (outcome IN ('unknown', 'shipped', 'failed'))," \
  "  message TEXT NOT NULL DEFAULT '',"                                                              \
  "  http_status INTEGER,"                                                                           \
  "  finished TEXT,"                                                                                 \
  "  reported INTEGER NOT NULL DEFAULT 0"

// archived_orders: the order table's columns, the goods lines and the states.
#define WEIHE_ARCHIVED_ORDER_TEXTS                                                          \
  "  order_no TEXT NOT NULL, member TEXT NOT NULL, store TEXT NOT NULL, total TEXT NOT NULL," \
  "  paid TEXT NOT NULL, pay_time TEXT NOT NULL, state TEXT NOT NULL, order_id TEXT NOT NULL," \
  "  goods TEXT NOT NULL, quantity TEXT NOT NULL, variant TEXT NOT NULL,"                   \
  "  unit_price TEXT NOT NULL, line_total TEXT NOT NULL, pay_amount TEXT NOT NULL,"         \
  "  pay_method TEXT NOT NULL, pickup TEXT NOT NULL, message TEXT NOT NULL,"                \
  "  consignee TEXT NOT NULL, phone TEXT NOT NULL, address TEXT NOT NULL,"                  \
  "  tracking_no TEXT NOT NULL, tracking_info TEXT NOT NULL, ship_status TEXT NOT NULL,"    \
  "  spare TEXT NOT NULL, extra TEXT NOT NULL,"                                             \
  "  items TEXT NOT NULL, states TEXT NOT NULL,"

// waybills, after its id: one record per attempt.
#define WEIHE_WAYBILL_COLUMNS                                                                   \
  "  shop TEXT NOT NULL,"                                                                       \
  "  order_id TEXT NOT NULL,"                                                                   \
  "  order_no TEXT NOT NULL,"                                                                   \
  "  provider TEXT NOT NULL,"                                                                   \
  "  courier TEXT NOT NULL,"                                                                    \
  "  attempt INTEGER NOT NULL,"                                                                 \
  "  state TEXT NOT NULL CHECK (state IN ('sending', 'ordered', 'printed', 'shipped', 'failed'," \
  "                                       'unknown', 'cancelled')),"                            \
  "  waybill_no TEXT NOT NULL DEFAULT '', task_id TEXT NOT NULL DEFAULT '',"                    \
  "  courier_order TEXT NOT NULL DEFAULT '', big_pen TEXT NOT NULL DEFAULT '',"                 \
  "  package_name TEXT NOT NULL DEFAULT '', package_code TEXT NOT NULL DEFAULT '',"             \
  "  sorting_code TEXT NOT NULL DEFAULT '',"                                                    \
  "  message TEXT NOT NULL DEFAULT '',"                                                         \
  "  raw TEXT NOT NULL DEFAULT '',"                                                             \
  "  label TEXT NOT NULL DEFAULT '',"  /* what its label shows (JSON), for a reprint */         \
  "  created TEXT NOT NULL,"                                                                    \
  "  updated TEXT NOT NULL"

// The partial unique index that keeps an order from a second live waybill.
#define WEIHE_ONE_LIVE_WAYBILL                                     \
  "CREATE UNIQUE INDEX one_live_waybill ON waybills(shop, order_id)" \
  "  WHERE state IN ('sending', 'ordered', 'printed', 'shipped', 'unknown');"

// A station's claims on orders (store/claims.h) and the stations seen.
#define WEIHE_CLAIMS_AND_STATIONS(WIDE)                    \
  "CREATE TABLE claims ("                                  \
  "  shop TEXT NOT NULL,"                                  \
  "  kind TEXT NOT NULL,"                                  \
  "  order_id TEXT NOT NULL,"                              \
  "  station TEXT NOT NULL,"                               \
  "  state TEXT NOT NULL,"                                 \
  "  since " #WIDE " NOT NULL," /* Unix time in ms */      \
  "  PRIMARY KEY (shop, kind, order_id));"                 \
  "CREATE TABLE stations ("                                \
  "  name TEXT PRIMARY KEY,"                               \
  "  last_seen " #WIDE " NOT NULL);"
