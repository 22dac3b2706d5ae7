// weihe-cli: the order manager's operations from a shell, a script or cron,
// on the same settings file as the window. Commands and their options are
// listed by --help; output for scripts goes to standard output (UTF-8),
// messages for people to standard error.
#include <CLI/CLI.hpp>

#include <clocale>
#include <cstdio>

#include "cli/commands.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  CLI::App app{
      "蔚禾商城订单管理系统 — 命令行。每个命令先用配置文件里的账号和密码登录。\n"
      "Exit status: 0 done, 1 the operation failed, 2 usage error, 3 some rows of a batch failed.",
      "weihe-cli"};
  app.require_subcommand(1, 1);
  app.fallthrough();
  app.set_help_all_flag("--help-all", "Every command's help");

  cli::SessionOptions session;
  std::string account;
  auto* account_option =
      app.add_option("--account", account, "Log in with this account instead of the settings file's");
  app.add_option("--settings", session.settings_file,
                 "Settings file (default: the window's, beside the program or in "
                 "~/.config/weihe-orders/)")
      ->type_name("FILE");
  app.add_option("--password-file", session.password_file,
                 "Read the password from the first line of FILE")
      ->type_name("FILE");
  app.add_option("--shop", session.shop, "Run on this shop (its label; default: the first shop)")
      ->type_name("LABEL");
  app.add_flag("--all-shops", session.all_shops,
               "list, poll, archive search, report: run over every shop, each object with its \"shop\"");
  app.add_flag("-q,--quiet", session.voice.quiet, "Say nothing on standard error but errors");
  app.add_flag("-v,--verbose", session.voice.verbose, "Also show the activity log on standard error");

  auto* login = app.add_subcommand("login", "Log in and print the dashboard as one JSON object");

  cli::ListOptions list;
  auto* list_command = app.add_subcommand("list", "Print one order list, one JSON object per order");
  list_command->add_option("state", list.state, "unpaid | to-ship | to-receive | all")
      ->required()
      ->check(CLI::IsMember({"unpaid", "to-ship", "to-receive", "all"}));
  list_command->add_flag("--details", list.details, "Fetch every order's details first");
  list_command->add_option("--format", list.format, "jsonl (default) | tsv | xlsx")
      ->check(CLI::IsMember({"jsonl", "tsv", "xlsx"}));
  list_command->add_option("-o,--output", list.output, "Write to FILE (needed for xlsx)")
      ->type_name("FILE");

  cli::ShipOptions ship;
  std::string courier, sender_id;
  std::string ship_order;
  auto* ship_command = app.add_subcommand(
      "ship",
      "Import a workbook as a drop on the window does, then ship its rows as a batch; or ship one "
      "order (--order with --tracking-no)");
  auto* ship_from =
      ship_command->add_option("--from", ship.workbook, "Workbook (.xlsx or .xls) with tracking numbers")
          ->type_name("WORKBOOK");
  auto* ship_order_option =
      ship_command->add_option("--order", ship_order, "Ship this one order (its ID column)")
          ->type_name("ID")
          ->excludes(ship_from);
  auto* ship_tracking = ship_command
                            ->add_option("--tracking-no", ship.tracking_no,
                                         "The one order's tracking number")
                            ->type_name("NUMBER")
                            ->needs(ship_order_option);
  ship_order_option->needs(ship_tracking);
  ship_command->add_flag("--force", ship.force,
                         "One order: ship even a number or order the checks would ask about "
                         "(never an empty or damaged number)");
  auto* ship_courier =
      ship_command->add_option("--courier", courier, "Courier code (default: huitong)")->type_name("CODE");
  auto* ship_sender = ship_command->add_option(
      "--sender-id", sender_id, "Sender address id (default: fetched from the back office)")->type_name("ID");
  ship_command->add_flag("--dry-run", ship.dry_run,
                         "Send nothing; print each row's verdict and what would be sent");
  ship_command->add_flag("--ship-all", ship.ship_all,
                         "Also ship the rows the checks would skip, as listed");
  ship_command->add_flag("--with-warnings", ship.with_warnings,
                         "Also ship the rows with a mere warning (a number unlike the courier's)");

  cli::TrackOptions track;
  std::string track_courier;
  auto* track_command =
      app.add_subcommand("track", "Query the parcel tracking of one order, or of every to-receive order");
  auto* track_order = track_command->add_option("--order", track.order_id, "The order's ID (the ID column)")
                          ->type_name("ID");
  auto* track_all = track_command->add_flag("--all", track.all, "Every to-receive order with a tracking number");
  track_order->excludes(track_all);
  track_command->add_option("--format", track.format, "text (the reply as stored, default) | json (parsed)")
      ->check(CLI::IsMember({"text", "json"}));
  auto* track_courier_option = track_command->add_option(
      "--courier", track_courier, "Courier code for the query (default: the settings file's)")->type_name("CODE");

  cli::WithdrawalOptions withdrawals;
  auto* withdrawals_command = app.add_subcommand(
      "withdrawals", "Print the withdrawable amount (first line), then the paid withdrawals");
  withdrawals_command->add_option("--format", withdrawals.format, "jsonl (default) | tsv")
      ->check(CLI::IsMember({"jsonl", "tsv"}));

  cli::JournalOptions journal;
  auto* journal_command = app.add_subcommand(
      "journal", "Print the shipping journal kept on this machine, newest first (no login)");
  auto is_date = [](const std::string& d) {
    const bool ok = d.size() == 10 && d[4] == '-' && d[7] == '-' &&
                    d.find_first_not_of("0123456789-") == std::string::npos;
    return ok ? std::string() : std::string("DATE must be YYYY-MM-DD");
  };
  journal_command->add_option("--since", journal.since, "Only shipments from DATE on")
      ->type_name("YYYY-MM-DD")
      ->check(is_date);
  journal_command->add_option("--format", journal.format, "jsonl (default) | tsv | xlsx")
      ->check(CLI::IsMember({"jsonl", "tsv", "xlsx"}));
  journal_command->add_flag("--reconcile", journal.reconcile,
                            "Log in and settle the shipments of unknown outcome by their orders' "
                            "pages; print each with its new outcome");
  journal_command->add_option("-o,--output", journal.output, "Write to FILE (needed for xlsx)")
      ->type_name("FILE");

  auto* store_command = app.add_subcommand(
      "store", "The store of this station's records: [store] url when the packing stations share one");
  store_command->require_subcommand(1, 1);
  auto* store_check = store_command->add_subcommand(
      "check", "Whether the store answers, its schema version and the stations seen (exit 1: no answer)");
  store_command->add_subcommand(
      "migrate", "Copy this PC's weihe-orders.db records into the shared store (again: nothing twice)");

  cli::PollOptions poll;
  int interval = 0;
  auto* poll_command = app.add_subcommand(
      "poll", "Poll the to-ship list for new orders, one JSON line per poll, until stopped");
  auto* interval_option =
      poll_command->add_option("--interval", interval, "Milliseconds between polls (default: 10000)")
          ->check(CLI::Range(1, 86'400'000))
          ->type_name("MS");
  poll_command->add_flag("--once", poll.once, "Poll once and end");
  poll_command->add_flag("--notify", poll.notify,
                         "Also raise a desktop notification for new orders (as the window does)");

  auto* archive_command = app.add_subcommand(
      "archive", "The order archive kept on this machine (no login): search, import, forget");
  archive_command->require_subcommand(1, 1);
  cli::ArchiveSearchOptions archive_search;
  auto* archive_search_command = archive_command->add_subcommand(
      "search", "Print the archived orders that hold TEXT, newest pay time first, one JSON object each");
  archive_search_command->add_option("text", archive_search.text,
                                     "Order number, ID, member, consignee, telephone, address, goods, "
                                     "message or tracking number (any part; empty: every order)");
  archive_search_command->add_option("--state", archive_search.state, "unpaid | to-ship | to-receive | all")
      ->check(CLI::IsMember({"unpaid", "to-ship", "to-receive", "all"}));
  archive_search_command->add_option("--since", archive_search.since, "Paid on or after DATE")
      ->type_name("YYYY-MM-DD")
      ->check(is_date);
  archive_search_command->add_option("--until", archive_search.until, "Paid on or before DATE")
      ->type_name("YYYY-MM-DD")
      ->check(is_date);
  archive_search_command->add_option("--limit", archive_search.limit, "At most N orders (default 200, 0: all)")
      ->check(CLI::Range(0, 100'000'000))
      ->type_name("N");
  archive_search_command->add_option("--format", archive_search.format, "jsonl (default) | tsv | xlsx")
      ->check(CLI::IsMember({"jsonl", "tsv", "xlsx"}));
  archive_search_command->add_option("-o,--output", archive_search.output, "Write to FILE (needed for xlsx)")
      ->type_name("FILE");
  std::vector<std::string> archive_files;
  auto* archive_import_command = archive_command->add_subcommand(
      "import", "Read exported workbooks into the archive (the order list is not touched)");
  archive_import_command->add_option("files", archive_files, "Workbooks (.xlsx or .xls)")
      ->required()
      ->type_name("FILE...");
  std::string forget_before;
  auto* archive_forget_command =
      archive_command->add_subcommand("forget", "Delete archived orders paid (or, unpaid, first seen) before DATE");
  archive_forget_command->add_option("--before", forget_before, "The first date kept")
      ->required()
      ->type_name("YYYY-MM-DD")
      ->check(is_date);

  cli::ReportOptions report;
  auto* report_command = app.add_subcommand(
      "report", "Print the shop's figures over the order archive as one JSON object (no login)");
  report_command->add_option("--since", report.since, "Paid on or after DATE (default: 29 days ago)")
      ->type_name("YYYY-MM-DD")
      ->check(is_date);
  report_command->add_option("--until", report.until, "Paid on or before DATE (default: today)")
      ->type_name("YYYY-MM-DD")
      ->check(is_date);
  report_command->add_option("--by", report.by, "Periods: day (default) | week | month")
      ->check(CLI::IsMember({"day", "week", "month"}));
  report_command->add_flag("--refresh", report.refresh,
                           "Log in and list every order with its details first, so the archive is current");
  report_command->add_option("--format", report.format, "json (default) | tsv | xlsx | pdf")
      ->check(CLI::IsMember({"json", "tsv", "xlsx", "pdf"}));
  report_command->add_option("-o,--output", report.output, "Write to FILE (needed for xlsx and pdf)")
      ->type_name("FILE");

  auto* shops_command = app.add_subcommand(
      "shops", "Print every shop of the settings file (label, host, account, whether it logs in); "
               "add or remove one");
  cli::ShopAddOptions shop_add;
  auto* shops_add_command = shops_command->add_subcommand("add", "Add a shop to the settings file");
  shops_add_command->add_option("label", shop_add.label, "The shop's label")->required();
  shops_add_command->add_option("--backoffice", shop_add.backoffice, "Back-office host: host[:port] or https://host[:port]")
      ->required()
      ->type_name("HOST");
  shops_add_command->add_option("--images", shop_add.images, "Image host (default: the back office's)")
      ->type_name("HOST");
  shops_add_command->add_option("--tracking", shop_add.tracking,
                                "Tracking service host (default: the first shop's)")
      ->type_name("HOST");
  shops_add_command->add_option("--account", shop_add.account, "The shop's account")->required();
  shops_add_command->add_option("--password-file", shop_add.password_file,
                                "The password: the first line of FILE")
      ->required()
      ->type_name("FILE");
  std::string shop_to_remove;
  auto* shops_remove_command = shops_command->add_subcommand("remove", "Remove a shop from the settings file");
  shops_remove_command->add_option("label", shop_to_remove, "The shop's label")->required();

  cli::PrintCommandOptions print;
  auto* print_command = app.add_subcommand(
      "print", "Write a pick list or packing slips of one order list (or a workbook's orders) as a PDF");
  print_command->add_option("document", print.document, "picklist | slips")
      ->required()
      ->check(CLI::IsMember({"picklist", "slips"}));
  auto* print_state = print_command->add_option("--state", print.state,
                                                "unpaid | to-ship (default) | to-receive | all")
                          ->check(CLI::IsMember({"unpaid", "to-ship", "to-receive", "all"}));
  print_command
      ->add_option("--from", print.workbook,
                   "Print this workbook's orders instead, with the lines of its 商品明细 sheet (no login)")
      ->type_name("WORKBOOK")
      ->excludes(print_state);
  print_command
      ->add_option("--paper", print.paper,
                   "a4 | a5 | 100x150 | 76x130 | 100x180 (default: the last one used)")
      ->check(CLI::IsMember({"a4", "a5", "100x150", "76x130", "100x180"}));
  print_command->add_flag("--order-numbers", print.order_numbers,
                          "Pick list: list the orders that hold each goods");
  print_command->add_option("--sort", print.sort, "Pick list: name (pinyin, default) | quantity")
      ->check(CLI::IsMember({"name", "quantity"}));
  print_command->add_option("-o,--output", print.output, "The PDF file")->required()->type_name("FILE.pdf");

  cli::WaybillOptions waybill;
  auto* waybill_command = app.add_subcommand("waybill", "E-waybills (电子面单) from the e-waybill account of section [waybill]");
  waybill_command->require_subcommand(1, 1);
  const std::vector<std::string> papers{"76x130", "100x150", "100x180", "a4", "a5"};
  auto* waybill_order = waybill_command->add_subcommand(
      "order", "Get each order's waybill (never a second one), write or print the labels; one JSON object per order");
  auto* order_ids = waybill_order->add_option("--order", waybill.orders, "The order's ID (repeatable)")->type_name("ID");
  waybill_order->add_option("--state", waybill.state, "Every order of this list instead (default: to-ship)")
      ->check(CLI::IsMember({"unpaid", "to-ship", "to-receive", "all"}))
      ->excludes(order_ids);
  waybill_order->add_flag("--ship", waybill.ship, "Ship each order with its waybill number");
  waybill_order->add_option("--paper", waybill.paper, "76x130 | 100x150 (default) | 100x180 | a4 | a5")
      ->check(CLI::IsMember(papers));
  waybill_order->add_option("-o,--output", waybill.output, "Write the labels to this PDF")->type_name("FILE.pdf");
  waybill_order->add_option("--printer", waybill.printer, "Print the labels on this CUPS printer")->type_name("NAME");
  auto* waybill_list = waybill_command->add_subcommand("list", "The waybill journal, newest first, one JSON object per record");
  waybill_list->add_option("--result", waybill.result, "Only records in this state")
      ->check(CLI::IsMember({"sending", "ordered", "printed", "shipped", "failed", "unknown", "cancelled"}));
  auto* waybill_cancel = waybill_command->add_subcommand("cancel", "Cancel an order's waybill at the provider");
  waybill_cancel->add_option("--order", waybill.orders, "The order's ID")->required()->expected(1)->type_name("ID");
  waybill_cancel->add_option("--reason", waybill.reason, "Why (sent to the provider)");
  waybill_cancel->add_flag("--force", waybill.force, "Also when the order was shipped with it");
  auto* waybill_resolve = waybill_command->add_subcommand(
      "resolve", "Settle an unknown waybill: the number found in the provider's back office, or none made");
  waybill_resolve->add_option("--order", waybill.orders, "The order's ID")->required()->expected(1)->type_name("ID");
  auto* resolved_number = waybill_resolve->add_option("--waybill", waybill.waybill, "The waybill number found")->type_name("N");
  auto* resolved_none = waybill_resolve->add_flag("--none", waybill.none, "No waybill was made: a new one may be ordered");
  resolved_number->excludes(resolved_none);
  auto* waybill_print = waybill_command->add_subcommand("print", "Print the labels again from the journal (no request)");
  waybill_print->add_option("--order", waybill.orders, "The order's ID (repeatable)")->required()->type_name("ID");
  waybill_print->add_option("-o,--output", waybill.output, "The PDF file")->required()->type_name("FILE.pdf");
  waybill_print->add_option("--paper", waybill.paper, "76x130 | 100x150 (default) | 100x180 | a4 | a5")
      ->check(CLI::IsMember(papers));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? cli::kDone : cli::kUsage;
  }
  if (account_option->count()) session.account = account;
  if (ship_courier->count()) ship.courier = courier;
  if (ship_order_option->count()) ship.order_id = ship_order;
  if (ship_command->parsed() && !ship_from->count() && !ship_order_option->count()) {
    std::fprintf(stderr, "ship: give --from WORKBOOK or --order ID --tracking-no NUMBER\n");
    return cli::kUsage;
  }
  if (ship_sender->count()) ship.sender_id = sender_id;
  if (track_courier_option->count()) track.courier = track_courier;
  if (interval_option->count()) poll.interval_ms = interval;

  // --all-shops: the command once per shop, one after another; a shop that
  // fails never stops the others, and the exit status is the worst one.
  if (session.all_shops) {
    const bool to_file = (list_command->parsed() && !list.output.empty()) ||
                         (report_command->parsed() && !report.output.empty()) ||
                         (archive_search_command->parsed() && !archive_search.output.empty());
    const bool json = (list_command->parsed() && list.format == "jsonl") ||
                      (report_command->parsed() && report.format == "json") ||
                      (archive_search_command->parsed() && archive_search.format == "jsonl");
    if (poll_command->parsed() || shops_command->parsed()) {
      // They go over every shop themselves.
    } else if (!(list_command->parsed() || report_command->parsed() || archive_search_command->parsed())) {
      std::fprintf(stderr, "--all-shops: only list, poll, archive search and report run over every shop\n");
      return cli::kUsage;
    } else if (to_file || !json) {
      std::fprintf(stderr, "--all-shops: JSON lines on standard output only (no -o, no --format)\n");
      return cli::kUsage;
    } else {
      const auto labels = cli::shops_to_run(session);
      if (!labels) return cli::kFailed;
      int worst = cli::kDone;
      for (const std::string& label : *labels) {
        cli::SessionOptions one = session;
        one.shop = label;
        const int rc = list_command->parsed()     ? cli::run_list(one, list)
                       : report_command->parsed() ? cli::run_report(one, report)
                                                  : cli::run_archive_search(one, archive_search);
        if (rc != cli::kDone && (worst == cli::kDone || rc == cli::kUsage)) worst = rc;
      }
      return worst;
    }
  }
  if (shops_add_command->parsed()) return cli::run_shops_add(session, shop_add);
  if (shops_remove_command->parsed()) return cli::run_shops_remove(session, shop_to_remove);
  if (shops_command->parsed()) return cli::run_shops(session);
  if (login->parsed()) return cli::run_login(session);
  if (list_command->parsed()) return cli::run_list(session, list);
  if (ship_command->parsed()) return cli::run_ship(session, ship);
  if (track_command->parsed()) {
    if (!track_order->count() && !track.all) {
      std::fprintf(stderr, "track: give --order ID or --all\n");
      return cli::kUsage;
    }
    return cli::run_track(session, track);
  }
  if (withdrawals_command->parsed()) return cli::run_withdrawals(session, withdrawals);
  if (poll_command->parsed()) return cli::run_poll(session, poll);
  if (journal_command->parsed()) return cli::run_journal(session, journal);
  if (store_command->parsed()) return cli::run_store(session, store_check->parsed() ? "check" : "migrate");
  if (print_command->parsed()) return cli::run_print(session, print);
  if (report_command->parsed()) return cli::run_report(session, report);
  if (archive_search_command->parsed()) return cli::run_archive_search(session, archive_search);
  if (archive_import_command->parsed()) return cli::run_archive_import(session, archive_files);
  if (archive_forget_command->parsed()) return cli::run_archive_forget(session, forget_before);
  if (waybill_command->parsed()) {
    const std::pair<CLI::App*, const char*> actions[] = {{waybill_order, "order"},
                                                         {waybill_list, "list"},
                                                         {waybill_cancel, "cancel"},
                                                         {waybill_resolve, "resolve"},
                                                         {waybill_print, "print"}};
    for (const auto& [sub, action] : actions)
      if (sub->parsed()) waybill.action = action;
    if (waybill.action == "resolve" && !resolved_number->count() && !waybill.none) {
      std::fprintf(stderr, "waybill resolve: give --waybill N or --none\n");
      return cli::kUsage;
    }
    return cli::run_waybill(session, waybill);
  }
  return cli::kUsage;
}
