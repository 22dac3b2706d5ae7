#pragma once
// The commands of weihe-cli. Each opens a session, logs in through the login
// operation and then runs the window's own operations on the in-memory
// window, reading their results from it. They return the exit status.
//
// Usage: return cli::run_list(session_options, {.state = "all", .format = "jsonl"});

#include <optional>
#include <string>
#include <vector>

#include "cli/session.h"

namespace cli {

int run_login(const SessionOptions& session);

struct ListOptions {
  std::string state;  // unpaid | to-ship | to-receive | all
  bool details = false;
  std::string format = "jsonl";  // jsonl | tsv | xlsx
  std::string output;            // file; empty: standard output (xlsx needs one)
};
int run_list(const SessionOptions& session, const ListOptions& options);
// The 状态 an order of a list choice has (UTF-8): "待发货" for to-ship …,
// empty for all.
std::string state_text(const std::string& choice);
// Fills the table with one order list (unpaid | to-ship | to-receive | all)
// of a logged-in session; false, with the reason said, when it did not come.
bool fetch_order_list(Session& session, const std::string& state);

struct PrintCommandOptions {
  std::string document;          // picklist | slips
  std::string state = "to-ship";  // the list printed, unless `workbook`
  std::string workbook;          // print this workbook's orders instead (no login)
  std::string paper;             // a4 | a5 | 100x150 | 76x130 | 100x180; empty: the last one used
  std::string output;            // the PDF file
  bool order_numbers = false;    // pick list: a column of order numbers
  std::string sort = "name";     // pick list: name | quantity
};
int run_print(const SessionOptions& session, const PrintCommandOptions& options);

struct ShipOptions {
  std::string workbook;                    // a batch from this workbook, or
  std::optional<std::string> order_id;     // one order (with tracking_no)
  std::string tracking_no;
  bool force = false;  // one order: ship what the checks would ask about
  std::optional<std::string> courier;    // default: the courier box's own default
  std::optional<std::string> sender_id;  // default: fetched from the back office
  bool dry_run = false;
  bool ship_all = false;       // also rows the checks would skip
  bool with_warnings = false;  // also rows with a mere warning
  app::BatchChoice choice() const {
    return ship_all        ? app::BatchChoice::All
           : with_warnings ? app::BatchChoice::WithWarned
                           : app::BatchChoice::ReadyOnly;
  }
};
int run_ship(const SessionOptions& session, const ShipOptions& options);

struct WaybillOptions {
  std::string action;               // order | list | cancel | resolve | print
  std::vector<std::string> orders;  // --order IDs
  std::string state = "to-ship";    // order: the list whose orders get waybills (without --order)
  bool ship = false;                // order: ship each with its waybill
  std::string paper = "100x150";    // 76x130 | 100x150 | 100x180 | a4 | a5
  std::string output;               // labels PDF
  std::string printer;              // a CUPS printer for the labels
  std::string result;               // list: only records in this state
  std::string reason;               // cancel
  bool force = false;               // cancel a shipped order's waybill
  std::string waybill;              // resolve: the number found
  bool none = false;                // resolve: none was made
};
int run_waybill(const SessionOptions& session, const WaybillOptions& options);

struct TrackOptions {
  std::string order_id;
  bool all = false;                    // every to-receive order instead
  std::string format = "text";         // text | json
  std::optional<std::string> courier;  // default: the settings file's
};
int run_track(const SessionOptions& session, const TrackOptions& options);

struct WithdrawalOptions {
  std::string format = "jsonl";  // jsonl | tsv
};
int run_withdrawals(const SessionOptions& session, const WithdrawalOptions& options);

struct JournalOptions {
  std::string since;             // "YYYY-MM-DD"; empty: everything
  std::string format = "jsonl";  // jsonl | tsv | xlsx
  std::string output;            // file; empty: standard output (xlsx needs one)
  bool reconcile = false;  // log in and settle the unknown entries; print those
};
int run_journal(const SessionOptions& session, const JournalOptions& options);

// `action`: check | migrate (no login).
int run_store(const SessionOptions& session, const std::string& action);

struct PollOptions {
  std::optional<int> interval_ms;  // default: the reminder box's interval
  bool once = false;
  bool notify = false;  // new orders also as a desktop notification
};
int run_poll(const SessionOptions& session, const PollOptions& options);

struct ArchiveSearchOptions {
  std::string text;
  std::string state = "all";  // unpaid | to-ship | to-receive | all
  std::string since, until;   // "YYYY-MM-DD"; empty: open
  int limit = 200;            // 0: every order found
  std::string format = "jsonl";  // jsonl | tsv | xlsx
  std::string output;
};
struct ReportOptions {
  std::string since, until;      // "YYYY-MM-DD"; empty: the last 30 days
  std::string by = "day";        // day | week | month
  bool refresh = false;          // list every order with details first (logged in)
  std::string format = "json";   // json | tsv | xlsx | pdf
  std::string output;
};
int run_report(const SessionOptions& session, const ReportOptions& options);

// weihe-cli shops, shops add, shops remove.
int run_shops(const SessionOptions& session);
struct ShopAddOptions {
  std::string label, backoffice, images, tracking, account, password_file;
};
int run_shops_add(const SessionOptions& session, const ShopAddOptions& options);
int run_shops_remove(const SessionOptions& session, const std::string& label);

// A JSON object line with "shop" added when the command runs over every shop.
std::string tagged_with_shop(std::string object_line, const SessionOptions& session);

int run_archive_search(const SessionOptions& session, const ArchiveSearchOptions& options);
int run_archive_import(const SessionOptions& session, const std::vector<std::string>& files);
int run_archive_forget(const SessionOptions& session, const std::string& before);

}  // namespace cli
