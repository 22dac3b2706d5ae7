// The real weihe-cli process against the stand-in mall on loopback: exit
// statuses, the shape of what it prints, and nothing sent when it must not.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <sqlite3.h>

#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli_run.h"
#include "exchange/workbook_reader.h"
#include "exchange/workbook_writer.h"
#include "mall/stand_in_mall.h"
#include "report/amounts.h"
#include "store/order_archive.h"
#include "store/shipping_journal.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class Cli : public ::testing::Test {
 protected:
  Cli() { write_settings("demo123"); }

  void write_settings(const std::string& password) {
    std::ofstream f(m_settings, std::ios::binary);
    // ASCII only, so the GB18030 file is the same bytes.
    f << "[\xC5\xE4\xD6\xC3\xCF\xEE\xC4\xBF]\r\n"  // 配置项目
      << "\xD5\xCB\xBA\xC5=demo\r\n"               // 账号
      << "\xC3\xDC\xC2\xEB=" << password << "\r\n"  // 密码
      << "\xBF\xEC\xB5\xDD" "100sky=demo-key\r\n"   // 快递100sky
      << "[hosts]\r\nbackoffice=" << m_mall.backoffice_host() << "\r\nimages="
      << m_mall.image_host() << "\r\ntracking=" << m_mall.tracking_host() << "\r\n";
  }

  Finished run(const std::vector<std::string>& args, int stop_after_ms = -1) {
    return run_cli(m_settings, args, stop_after_ms);
  }

  int sent_shipments() const {
    int n = 0;
    for (const auto& r : m_mall.requests()) n += r.target.rfind("/order/send", 0) == 0;
    return n;
  }

  std::vector<std::string> ids_in_state(int state) const {
    std::vector<std::string> ids;
    for (const auto& o : m_mall.orders())
      if (o.state == state) ids.push_back(o.id);
    return ids;
  }

  mall::StandInMall m_mall;
  testing_support::TempDir m_dir;
  fs::path m_settings = m_dir.path() / "settings.ini";
};

TEST_F(Cli, LoginPrintsTheDashboardAndAWrongPasswordFails) {
  Finished ok = run({"login"});
  ASSERT_EQ(ok.exit, 0) << ok.err;
  const json d = json::parse(ok.out);
  EXPECT_EQ(d["store"], m_mall.options().store_name);
  EXPECT_EQ(d["orders"]["to_ship"], ids_in_state(20).size());
  EXPECT_EQ(d["orders"]["all"], m_mall.orders().size());
  for (const char* k : {"on_sale", "in_review", "removed", "in_warehouse"})
    EXPECT_TRUE(d["goods"][k].is_number()) << k;

  std::ofstream(m_dir.path() / "pw") << "wrong\n";
  Finished bad = run({"--password-file", (m_dir.path() / "pw").string(), "login"});
  EXPECT_EQ(bad.exit, 1);
  EXPECT_TRUE(bad.out.empty());
  EXPECT_NE(bad.err.find("登录失败"), std::string::npos) << bad.err;

  EXPECT_EQ(run({"list", "shipped"}).exit, 2);
  EXPECT_EQ(run({"list", "all", "--format", "xlsx"}).exit, 2);  // xlsx needs -o
  EXPECT_EQ(run({"--help"}).exit, 0);
}

TEST_F(Cli, ListPrintsEveryOrderOfTheStateWithStableKeys) {
  Finished r = run({"list", "to-ship", "--details"});
  ASSERT_EQ(r.exit, 0) << r.err;
  const std::vector<json> orders = r.lines();
  std::vector<std::string> ids;
  for (const json& o : orders) {
    ASSERT_EQ(o.size(), 27u);  // the 26 columns, then every goods line
    EXPECT_EQ(o.begin().key(), "serial");
    EXPECT_EQ(o["state"], "待发货");
    const mall::Order& listed = m_mall.order(o["id"]);
    EXPECT_EQ(o["consignee"], listed.consignee);  // the details were fetched
    ASSERT_EQ(o["items"].size(), listed.more_goods.size() + 1);
    EXPECT_EQ(o["items"][0]["goods"], listed.goods);
    if (!listed.more_goods.empty())
      EXPECT_EQ(o["items"].back()["line_total"], listed.more_goods.back().line_total);
    ids.push_back(o["id"]);
  }
  EXPECT_EQ(ids, ids_in_state(20));

  Finished tsv = run({"-q", "list", "all", "--format", "tsv"});
  EXPECT_EQ(std::count(tsv.out.begin(), tsv.out.end(), '\n'), m_mall.orders().size() + 1);
  EXPECT_EQ(tsv.out.rfind("serial\torder_no\t", 0), 0u);

  const fs::path book = m_dir.path() / "列表.xlsx";
  ASSERT_EQ(run({"list", "all", "--format", "xlsx", "-o", book.string()}).exit, 0);
  const exchange::ReadResult read = exchange::read_workbook(book);
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.sheet.cell(1, 8), m_mall.orders().front().id);

  // The dashboard counted orders, the list page shows none: not a success.
  m_mall.override_page("/order/list", "<html><body>维护中</body></html>");
  Finished gone = run({"list", "all"});
  EXPECT_EQ(gone.exit, 1);
  EXPECT_TRUE(gone.out.empty());
}

TEST_F(Cli, TheArchiveKeepsWhatWasListedAndTakesBackAnExport) {
  ASSERT_EQ(run({"-q", "list", "all", "--details"}).exit, 0);
  const mall::Order some = m_mall.orders().front();
  // Without a login: any part of a consignee's name, goods, an address.
  m_mall.set_fault(mall::Fault::Drop);
  Finished found = run({"archive", "search", some.phone, "--limit", "0"});
  ASSERT_EQ(found.exit, 0) << found.err;
  ASSERT_FALSE(found.lines().empty());
  const json first = found.lines().front();
  EXPECT_EQ(first["id"], some.id);
  EXPECT_EQ(first["items"].size(), some.more_goods.size() + 1);
  EXPECT_EQ(first["states"][0]["state"], first["state"]);
  EXPECT_EQ(run({"archive", "search", "没有这样的订单"}).out, "");
  EXPECT_EQ(run({"archive", "search", "--since", "2017-02-01", "--until", "2017-01-01"}).exit, 2);
  m_mall.set_fault(mall::Fault::None);

  // An export read into another machine's archive comes back with every goods line.
  const fs::path book = m_dir.path() / "orders.xlsx";
  ASSERT_EQ(run({"-q", "list", "all", "--details", "--format", "xlsx", "-o", book.string()}).exit, 0);
  const fs::path other = m_dir.path() / "other";
  fs::create_directories(other);
  fs::copy_file(m_settings, other / "settings.ini");
  m_settings = other / "settings.ini";
  Finished imported = run({"archive", "import", book.string()});
  ASSERT_EQ(imported.exit, 0) << imported.err;
  EXPECT_EQ(imported.lines().front()["orders"], m_mall.orders().size());
  Finished all = run({"archive", "search", "--limit", "0"});
  std::size_t lines = 0, expected = 0;
  for (const json& o : all.lines()) lines += o["items"].size();
  for (const mall::Order& o : m_mall.orders()) expected += o.more_goods.size() + 1;
  EXPECT_EQ(all.lines().size(), m_mall.orders().size());
  EXPECT_EQ(lines, expected);
  Finished forgot = run({"archive", "forget", "--before", "2100-01-01"});
  EXPECT_EQ(forgot.lines().front()["forgotten"], m_mall.orders().size());
  EXPECT_EQ(run({"archive", "import", (m_dir.path() / "missing.xlsx").string()}).exit, 1);
}

TEST_F(Cli, ShipDryRunSendsNothingAndTheRealRunShipsEachRow) {
  const std::vector<std::string> ids = ids_in_state(20);
  ASSERT_GE(ids.size(), 2u);
  std::vector<std::string> titles(26, "t");
  std::vector<std::vector<std::string>> rows(2, std::vector<std::string>(26));
  for (int i = 0; i < 2; ++i) {
    rows[i][1] = m_mall.order(ids[i]).order_no;
    rows[i][8] = ids[i];
    rows[i][21] = "YT10000" + std::to_string(i);
  }
  const fs::path book = m_dir.path() / "ship.xlsx";
  ASSERT_EQ(exchange::write_workbook(book, titles, rows), "");
  const std::string from = book.string();

  // The numbers are too short for yuantong's: a warning, so they go only when taken.
  Finished dry = run({"ship", "--from", from, "--dry-run", "--courier", "yuantong"});
  ASSERT_EQ(dry.exit, 0) << dry.err;
  ASSERT_EQ(dry.lines().size(), 2u);
  EXPECT_EQ(dry.lines()[0]["result"], "skipped");
  EXPECT_EQ(dry.lines()[0]["reason"], "快递单号不像yuantong的单号");
  Finished taken = run({"ship", "--from", from, "--dry-run", "--courier", "yuantong", "--with-warnings"});
  EXPECT_EQ(taken.lines()[0]["result"], "would-ship");
  EXPECT_EQ(taken.lines()[0]["warning"], "快递单号不像yuantong的单号");
  EXPECT_EQ(taken.lines()[1]["tracking_no"], "YT100001");
  EXPECT_EQ(sent_shipments(), 0);

  std::ofstream(m_dir.path() / "bad.xlsx") << "PK\x03\x04 not a workbook";
  Finished bad = run({"ship", "--from", (m_dir.path() / "bad.xlsx").string()});
  EXPECT_EQ(bad.exit, 1);
  EXPECT_EQ(sent_shipments(), 0);

  Finished real = run({"ship", "--from", from, "--courier", "yuantong", "--with-warnings"});
  ASSERT_EQ(real.exit, 0) << real.err;
  for (const json& line : real.lines()) EXPECT_EQ(line["result"], "shipped") << line.dump();
  EXPECT_EQ(sent_shipments(), 2);
  EXPECT_EQ(m_mall.order(ids[0]).state, 30);
  EXPECT_EQ(m_mall.order(ids[1]).tracking_no, "YT100001");
}

// One order is checked as in the window: refused, or asked about and
// answered No (exit 3 with the reason), nothing sent; --force ships only
// what would have been asked about.
TEST_F(Cli, ShipOneOrderIsCheckedAndForceShipsOnlyWhatWasAsked) {
  const std::vector<std::string> ids = ids_in_state(20);
  ASSERT_GE(ids.size(), 2u);
  auto ship = [&](const std::string& id, const std::string& number, bool force = false) {
    std::vector<std::string> args{"ship", "--order", id, "--tracking-no", number};
    if (force) args.push_back("--force");
    return run(args);
  };
  for (const char* number : {"", "7.73277E+14", "YT 1000000001", "YT1000000001"}) {
    const Finished r = ship(ids[0], number);
    EXPECT_EQ(r.exit, 3) << number << r.err;
    ASSERT_EQ(r.lines().size(), 1u) << number;
    EXPECT_EQ(r.lines()[0]["result"], "refused") << number;
    EXPECT_NE(r.lines()[0]["reason"], "") << number;
  }
  EXPECT_EQ(ship(ids[0], "7.73277E+14", true).exit, 3);
  EXPECT_EQ(sent_shipments(), 0);

  const Finished forced = ship(ids[0], "YT1000000001", true);  // not huitong's: asked
  ASSERT_EQ(forced.exit, 0) << forced.err;
  EXPECT_EQ(forced.lines()[0]["result"], "shipped");
  EXPECT_EQ(m_mall.order(ids[0]).tracking_no, "YT1000000001");
  // The order is shipped now, and its number taken.
  EXPECT_EQ(ship(ids[0], "557012345678").exit, 3);
  EXPECT_EQ(ship(ids[1], "YT1000000001").exit, 3);
  EXPECT_EQ(sent_shipments(), 1);
  EXPECT_EQ(ship("no-such-order", "557012345678").exit, 1);
  EXPECT_EQ(run({"ship"}).exit, 2);
}

// Order ids of the shipments the mall received, with how often each came.
std::map<std::string, int> shipments_by_id(const mall::StandInMall& mall) {
  std::map<std::string, int> sent;
  for (const auto& r : mall.requests())
    if (r.target.rfind("/order/send", 0) == 0) ++sent[r.body.substr(r.body.rfind('=') + 1)];
  return sent;
}

std::string integrity(const fs::path& db_file) {
  sqlite3* db = nullptr;
  sqlite3_stmt* st = nullptr;
  std::string result = "cannot open";
  if (sqlite3_open_v2(db_file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW)
    result = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  sqlite3_close(db);
  return result;
}

TEST_F(Cli, ABatchKilledHalfwayIsJournaledAndNothingShipsTwice) {
  m_mall.add_orders(8, 20);
  const std::vector<std::string> ids = ids_in_state(20);
  std::vector<std::vector<std::string>> rows;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    rows.emplace_back(26);
    rows.back()[1] = m_mall.order(ids[i]).order_no;
    rows.back()[8] = ids[i];
    rows.back()[21] = "YT" + std::to_string(2000000000 + i);
  }
  const fs::path book = m_dir.path() / "batch.xlsx";
  ASSERT_EQ(exchange::write_workbook(book, std::vector<std::string>(26, "t"), rows), "");

  // Every answer takes 300 ms and four shipments are out at once; the process
  // is killed while it waits for the second four.
  m_mall.set_latency(std::chrono::milliseconds(300));
  QProcess child;
  child.start(QStringLiteral(WEIHE_CLI), {QStringLiteral("--settings"),
                                          QString::fromStdString(m_settings.string()),
                                          QStringLiteral("ship"), QStringLiteral("--from"),
                                          QString::fromStdString(book.string()),
                                          QStringLiteral("--courier"), QStringLiteral("yuantong")});
  ASSERT_TRUE(child.waitForStarted());
  for (int i = 0; i < 600 && sent_shipments() < 5; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_GE(sent_shipments(), 5) << "the batch did not get going";
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  child.kill();  // SIGKILL
  ASSERT_TRUE(child.waitForFinished(10000));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the mall takes those in flight
  m_mall.set_latency(std::chrono::milliseconds(0));
  long unknown = 0, journaled = 0;

  const fs::path db_file = store::Database::beside(m_settings);
  EXPECT_EQ(integrity(db_file), "ok");
  {
    store::Database db(db_file);
    std::map<std::string, std::string> outcome;
    for (const store::Shipment& s : store::ShippingJournal(db, "demo@" + m_mall.backoffice_host()).entries()) outcome[s.order_id] = s.outcome;
    for (const auto& [id, times] : shipments_by_id(m_mall))
      EXPECT_TRUE(outcome[id] == "shipped" || outcome[id] == "unknown") << id << " " << outcome[id];
    unknown = std::count_if(outcome.begin(), outcome.end(),
                            [](const auto& o) { return o.second == "unknown"; });
    journaled = static_cast<long>(outcome.size());
    // Only those out when it was killed are unknown: never more than the four at once.
    EXPECT_GE(unknown, 1);
    EXPECT_LE(unknown, 4);
  }

  Finished again = run({"ship", "--from", book.string(), "--courier", "yuantong"});
  EXPECT_NE(again.err.find("有" + std::to_string(unknown) + "笔发货没有收到后台的回答"),
            std::string::npos)
      << again.err;

  // The mall took the ones in flight: their pages say so.
  Finished settled = run({"journal", "--reconcile"});
  ASSERT_EQ(settled.exit, 0) << settled.err;
  ASSERT_EQ(static_cast<long>(settled.lines().size()), unknown);
  for (const json& line : settled.lines()) EXPECT_EQ(line["outcome"], "shipped") << line.dump();
  EXPECT_TRUE(run({"journal", "--reconcile"}).lines().empty());
  int skipped = 0;
  for (const json& line : again.lines()) skipped += line["result"] == "skipped";
  EXPECT_EQ(skipped, journaled);
  const auto sent = shipments_by_id(m_mall);
  EXPECT_EQ(sent.size(), ids.size());
  for (const auto& [id, times] : sent) EXPECT_EQ(times, 1) << id;
}

// A long batch shares the database: another connection reads the journal
// and the archive meanwhile, and another process polls and writes the ids it
// saw, and neither waits on the batch nor finds the file locked.
TEST_F(Cli, ABatchLeavesTheFileToOtherReadersAndProcesses) {
  constexpr int kOrders = 1000;
  m_mall.clear_orders();
  m_mall.add_orders(kOrders, 20);
  std::vector<std::vector<std::string>> rows;
  for (const std::string& id : ids_in_state(20)) {
    rows.emplace_back(26);
    rows.back()[1] = m_mall.order(id).order_no;
    rows.back()[8] = id;
    rows.back()[21] = "YT" + std::to_string(3000000000LL + static_cast<long long>(rows.size()));
  }
  const fs::path book = m_dir.path() / "batch.xlsx";
  ASSERT_EQ(exchange::write_workbook(book, std::vector<std::string>(26, "t"), rows), "");
  ASSERT_EQ(run({"list", "to-ship"}).exit, 0);  // the archive holds the orders to read back

  m_mall.set_latency(std::chrono::milliseconds(50));
  QProcess batch;
  batch.start(QStringLiteral(WEIHE_CLI), {QStringLiteral("--settings"),
                                          QString::fromStdString(m_settings.string()),
                                          QStringLiteral("ship"), QStringLiteral("--from"),
                                          QString::fromStdString(book.string()),
                                          QStringLiteral("--courier"), QStringLiteral("yuantong")});
  ASSERT_TRUE(batch.waitForStarted());
  QProcess poller;
  poller.start(QStringLiteral(WEIHE_CLI),
               {QStringLiteral("--settings"), QString::fromStdString(m_settings.string()),
                QStringLiteral("poll"), QStringLiteral("--interval"), QStringLiteral("300")});
  ASSERT_TRUE(poller.waitForStarted());

  store::Database db(store::Database::beside(m_settings));
  ASSERT_TRUE(db.ok()) << db.error();
  store::ShippingJournal journal(db, "demo@" + m_mall.backoffice_host());
  store::OrderArchive archive(db);
  using Clock = std::chrono::steady_clock;
  Clock::duration slowest{};
  int reads = 0, empty_reads = 0;
  std::size_t journaled = 0;
  while (!batch.waitForFinished(20)) {
    const auto start = Clock::now();
    const std::size_t entries = journal.entries().size();
    std::string error;
    store::ArchiveQuery newest;
    newest.limit = 50;
    const auto found = archive.search(newest, &error);
    slowest = std::max(slowest, Clock::now() - start);
    EXPECT_EQ(error, "");
    empty_reads += found.empty();
    EXPECT_GE(entries, journaled);  // an entry never vanishes: no read failed
    journaled = entries;
    ++reads;
  }
  poller.terminate();
  ASSERT_TRUE(poller.waitForFinished(30000));
  m_mall.set_latency(std::chrono::milliseconds(0));

  const std::string said = batch.readAllStandardError().toStdString() +
                           poller.readAllStandardError().toStdString();
  EXPECT_EQ(said.find("locked"), std::string::npos) << said;
  EXPECT_EQ(batch.exitCode(), 0) << said;
  EXPECT_EQ(journal.order_ids("shipped").size(), static_cast<std::size_t>(kOrders));
  EXPECT_GT(reads, 10);
  EXPECT_EQ(empty_reads, 0);
  // Far below the five seconds a read would wait for a file held by the batch.
  const auto slowest_ms = std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count();
  RecordProperty("slowest_read_ms", static_cast<int>(slowest_ms));
  std::cout << reads << " reads beside the batch, the slowest " << slowest_ms << " ms\n";
  EXPECT_LT(slowest_ms, 1000);
  const auto sent = shipments_by_id(m_mall);
  for (const auto& [id, times] : sent) EXPECT_EQ(times, 1) << id;
}

TEST_F(Cli, TrackWithdrawalsAndPoll) {
  const std::vector<std::string> to_receive = ids_in_state(30);
  ASSERT_FALSE(to_receive.empty());
  const mall::Order parcel = m_mall.order(to_receive[0]);
  Finished track = run({"track", "--order", parcel.id, "--courier", parcel.courier});
  ASSERT_EQ(track.exit, 0) << track.err;
  EXPECT_NE(track.out.find(parcel.tracking_no), std::string::npos) << track.out;
  EXPECT_EQ(run({"track", "--order", "no-such-order"}).exit, 1);
  EXPECT_EQ(run({"track"}).exit, 2);

  // Every to-receive parcel, parsed; the second time all answers are reused.
  std::ofstream(m_settings, std::ios::app) << "[tracking]\r\nmin_interval_ms=0\r\n";
  Finished all = run({"track", "--all", "--format", "json"});
  ASSERT_EQ(all.exit, 0) << all.err;
  ASSERT_EQ(all.lines().size(), to_receive.size());
  for (const json& p : all.lines()) {
    EXPECT_FALSE(p["events"].empty()) << p.dump();
    EXPECT_EQ(p["cached"], p["id"] == parcel.id);  // that one was asked about just above
  }
  Finished again = run({"track", "--all", "--format", "json"});
  for (const json& p : again.lines()) EXPECT_EQ(p["cached"], true) << p.dump();

  Finished money = run({"withdrawals"});
  ASSERT_EQ(money.exit, 0) << money.err;
  ASSERT_EQ(money.lines().size(), m_mall.paid_withdrawals().size() + 1);
  EXPECT_EQ(money.lines()[0]["withdrawable"], m_mall.withdrawable_amount());
  EXPECT_EQ(money.lines()[1]["amount"], m_mall.paid_withdrawals()[0].amount);

  Finished once = run({"poll", "--once"});
  ASSERT_EQ(once.exit, 0) << once.err;
  ASSERT_EQ(once.lines().size(), 1u);
  EXPECT_EQ(once.lines()[0]["to_ship"], ids_in_state(20).size());
  EXPECT_EQ(once.lines()[0]["new"], 0);  // the lists fetched above have seen them all

  // One order comes: announced once, with its number and amount, then known.
  const std::string fresh = m_mall.add_order(20);
  const json announced = run({"poll", "--once"}).lines().at(0);
  EXPECT_EQ(announced["new"], 1);
  ASSERT_EQ(announced["orders"].size(), 1u);
  EXPECT_EQ(announced["orders"][0]["id"], fresh);
  EXPECT_EQ(announced["orders"][0]["order_no"], m_mall.order(fresh).order_no);
  EXPECT_FALSE(announced["orders"][0]["total"].get<std::string>().empty());
  EXPECT_EQ(run({"poll", "--once"}).lines().at(0)["new"], 0);

  Finished until_stopped = run({"poll", "--interval", "50"}, 1500);
  EXPECT_EQ(until_stopped.exit, 0) << until_stopped.err;
  EXPECT_GE(until_stopped.lines().size(), 2u);
}

}  // namespace

#include "cli/output.h"

namespace {

TEST(CliOutput, RowsPrintAsJsonAndTsvWhateverTheirCells) {
  app::OrderRow row(26);
  row[app::kColOrderNo] = "say \"hi\"\\ \t\r\n\x01";
  row[app::kColMember] = web::gbk("张伟");
  const json parsed = json::parse(cli::row_json_line(app::order_columns(), row));
  EXPECT_EQ(parsed["order_no"], "say \"hi\"\\ \t\r\n\x01");
  EXPECT_EQ(parsed["member"], "张伟");
  EXPECT_EQ(parsed.size(), 26u);
  EXPECT_EQ(cli::tsv_row(app::order_columns(), row).substr(0, 19), "\tsay \"hi\"\\    \x01\t张");
}

}  // namespace

namespace {

std::string pdf_text(const fs::path& pdf) {
  QProcess p;
  p.start(QStringLiteral("pdftotext"), {QString::fromStdString(pdf.string()), QStringLiteral("-")});
  p.waitForFinished(60000);
  std::string text = p.readAllStandardOutput().toStdString();
  std::erase_if(text, [](char c) { return c == '\n' || c == ' ' || c == '\f'; });
  return text;
}

TEST_F(Cli, PrintWritesTheListsSlipsAndAWorkbooksPickListOffline) {
  const fs::path slips = m_dir.path() / "slips.pdf";
  const Finished r = run({"print", "slips", "--paper", "a5", "-o", slips.string()});
  ASSERT_EQ(r.exit, 0) << r.err;
  const std::string text = pdf_text(slips);
  for (const std::string& id : ids_in_state(20)) {  // details were fetched for every slip
    EXPECT_NE(text.find(m_mall.order(id).order_no), std::string::npos) << id;
    EXPECT_NE(text.find(m_mall.order(id).consignee), std::string::npos) << id;
  }

  // The workbook's 商品明细 lines, summed with no request to the back office.
  const fs::path book = m_dir.path() / "to-ship.xlsx";
  ASSERT_EQ(run({"list", "to-ship", "--details", "--format", "xlsx", "-o", book.string()}).exit, 0);
  const std::size_t requests = m_mall.requests().size();
  const fs::path pick = m_dir.path() / "pick.pdf";
  const Finished p = run({"print", "picklist", "--from", book.string(), "-o", pick.string()});
  ASSERT_EQ(p.exit, 0) << p.err;
  EXPECT_EQ(m_mall.requests().size(), requests);
  int lines = 0;
  long items = 0;
  for (const std::string& id : ids_in_state(20)) {
    const mall::Order& o = m_mall.order(id);
    lines += 1 + static_cast<int>(o.more_goods.size());
    items += std::stol(o.quantity);
    for (const auto& g : o.more_goods) items += std::stol(g.quantity);
  }
  EXPECT_NE(pdf_text(pick).find("合计：" + std::to_string(ids_in_state(20).size()) + "笔订单，" +
                                std::to_string(lines) + "行商品，共" + std::to_string(items) + "件"),
            std::string::npos);

  // Nothing to print: said, and no file.
  std::ofstream(m_dir.path() / "empty.xlsx") << "not a workbook";
  const fs::path none = m_dir.path() / "none.pdf";
  EXPECT_EQ(run({"print", "slips", "--from", (m_dir.path() / "empty.xlsx").string(), "-o", none.string()}).exit, 1);
  EXPECT_FALSE(fs::exists(none));
}

TEST_F(Cli, ReportCountsTheArchivedOrdersOfTheRangeWithoutALogin) {
  const Finished empty = run({"report", "--since", "2017-01-01", "--until", "2017-01-31"});
  ASSERT_EQ(empty.exit, 0) << empty.err;
  EXPECT_EQ(json::parse(empty.out)["orders"], 0);
  EXPECT_NE(empty.err.find("没有已付款的订单"), std::string::npos);  // says why

  ASSERT_EQ(run({"list", "all"}).exit, 0);  // the archive learns every order
  const std::size_t requests = m_mall.requests().size();
  const Finished r = run({"report", "--since", "2017-01-01", "--until", "2017-01-31", "--by", "week"});
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_EQ(m_mall.requests().size(), requests);
  int orders = 0;
  std::int64_t fen = 0;
  for (const mall::Order& o : m_mall.orders())
    if (o.pay_time.rfind("2017-01", 0) == 0) {
      ++orders;
      fen += report::amount_fen(o.paid).value_or(0);
    }
  const json j = json::parse(r.out);
  EXPECT_EQ(j["orders"], orders);
  EXPECT_EQ(j["revenue"], report::yuan_text(fen));
  int summed = 0;
  for (const json& p : j["by_period"]) summed += p["orders"].get<int>();
  EXPECT_EQ(summed, orders);

  EXPECT_EQ(run({"report", "--since", "2017-01-05", "--until", "2017-01-01"}).exit, 2);
  const fs::path pdf = m_dir.path() / "report.pdf";
  ASSERT_EQ(run({"report", "--since", "2017-01-01", "--until", "2017-01-31", "--format", "pdf", "-o", pdf.string()}).exit, 0);
  EXPECT_NE(pdf_text(pdf).find("订单数与销售额"), std::string::npos);
}

}  // namespace
