// Several packing stations (real weihe-cli processes, each with its own
// settings folder) sharing one store on a throwaway PostgreSQL server,
// against the stand-in mall: no order is shipped twice, a killed station
// leaves nothing stuck or doubled, new orders are announced once, an
// unreachable store ships nothing, and a PC's own records move in once.
#include <gtest/gtest.h>

#include <libpq-fe.h>

#include <QProcess>

#include <fstream>
#include <map>
#include <thread>

#include "cli_run.h"
#include "exchange/workbook_writer.h"
#include "mall/stand_in_mall.h"
#include "store/order_archive.h"
#include "store/shipping_journal.h"
#include "support/pg_cluster.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class Stations : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing_support::pg_cluster().running()) << testing_support::pg_cluster().problem();
    m_url = testing_support::pg_cluster().new_database();
  }

  // Station `name`'s settings file, in a folder of its own; `url` empty: the shared store.
  fs::path station(const std::string& name, const std::string& url = {}) {
    const fs::path folder = m_dir.path() / name;
    fs::create_directories(folder);
    const fs::path file = folder / "settings.ini";
    std::ofstream f(file, std::ios::binary);
    f << "[\xC5\xE4\xD6\xC3\xCF\xEE\xC4\xBF]\r\n"  // 配置项目
      << "\xD5\xCB\xBA\xC5=demo\r\n"               // 账号
      << "\xC3\xDC\xC2\xEB=demo123\r\n"             // 密码
      << "[hosts]\r\nbackoffice=" << m_mall.backoffice_host() << "\r\nimages=" << m_mall.image_host()
      << "\r\ntracking=" << m_mall.tracking_host() << "\r\n"
      << "[store]\r\nurl=" << (url.empty() ? m_url : url) << "\r\nstation=" << name << "\r\nlease=1\r\n";
    return file;
  }

  // A workbook of `ids` with a tracking number each.
  fs::path workbook(const std::vector<std::string>& ids, const std::string& name = "batch.xlsx") {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& id : ids) {
      rows.emplace_back(26);
      rows.back()[1] = m_mall.order(id).order_no;
      rows.back()[8] = id;
      rows.back()[21] = "YT" + std::to_string(4000000000LL + ++m_numbers);
    }
    const fs::path book = m_dir.path() / name;
    EXPECT_EQ(exchange::write_workbook(book, std::vector<std::string>(26, "t"), rows), "");
    return book;
  }

  std::vector<std::string> waiting() const {
    std::vector<std::string> ids;
    for (const auto& o : m_mall.orders())
      if (o.state == 20) ids.push_back(o.id);
    return ids;
  }

  std::map<std::string, int> sent_by_id() const {
    std::map<std::string, int> sent;
    for (const auto& r : m_mall.requests())
      if (r.target.rfind("/order/send", 0) == 0) ++sent[r.body.substr(r.body.rfind('=') + 1)];
    return sent;
  }

  static QStringList args(const std::vector<std::string>& words) {
    QStringList list;
    for (const std::string& w : words) list << QString::fromStdString(w);
    return list;
  }
  static QStringList ship_args(const fs::path& settings, const fs::path& book) {
    return args({"--settings", settings.string(), "ship", "--from", book.string(), "--courier", "yuantong"});
  }

  // One value of the shared store, read as the test's own client.
  std::string query(const std::string& sql) const {
    PGconn* c = PQconnectdb(m_url.c_str());
    PGresult* r = PQexec(c, sql.c_str());
    std::string v = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
    PQclear(r);
    PQfinish(c);
    return v;
  }

  mall::StandInMall m_mall;
  testing_support::TempDir m_dir{"weihe-stations"};
  std::string m_url;
  long long m_numbers = 0;  // tracking numbers never repeat between workbooks
};

TEST_F(Stations, FourStationsShippingTheSameWorkbookSendEachOrderOnce) {
  m_mall.clear_orders();
  m_mall.add_orders(200, 20);
  const fs::path book = workbook(waiting());
  // The archive knows the orders, as after a list was read.
  ASSERT_EQ(run_cli(station("pack0"), {"list", "to-ship"}).exit, 0);
  m_mall.set_latency(std::chrono::milliseconds(5));
  std::vector<std::unique_ptr<QProcess>> runs;
  for (int s = 0; s < 4; ++s) {
    runs.push_back(std::make_unique<QProcess>());
    runs.back()->start(QStringLiteral(WEIHE_CLI), ship_args(station("pack" + std::to_string(s)), book));
  }
  std::string said;
  for (auto& p : runs) {
    ASSERT_TRUE(p->waitForFinished(300000));
    said += p->readAllStandardError().toStdString();
  }
  const auto sent = sent_by_id();
  EXPECT_EQ(sent.size(), 200u) << said.substr(0, 2000);
  for (const auto& [id, times] : sent) EXPECT_EQ(times, 1) << id;
  EXPECT_TRUE(waiting().empty());
  EXPECT_EQ(query("SELECT count(*) FROM shipments WHERE outcome = 'shipped'"), "200");
}

TEST_F(Stations, AStationKilledBeforeItsRequestLeftIsTakenOverOneKilledAfterIsNot) {
  const std::vector<std::string> ids = waiting();
  ASSERT_GE(ids.size(), 2u);
  // packA claims the first order, then waits on the journal (held by the test) and is killed.
  PGconn* holder = PQconnectdb(m_url.c_str());
  ASSERT_TRUE(run_cli(station("packA"), {"store", "check"}).exit == 0);  // the schema is there
  PQclear(PQexec(holder, "BEGIN; LOCK TABLE shipments IN EXCLUSIVE MODE"));
  QProcess a;
  a.start(QStringLiteral(WEIHE_CLI), ship_args(station("packA"), workbook({ids[0]}, "a.xlsx")));
  for (int i = 0; i < 500 && query("SELECT station FROM claims WHERE order_id = '" + ids[0] + "'").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(query("SELECT state FROM claims WHERE order_id = '" + ids[0] + "'"), "claimed");
  a.kill();
  ASSERT_TRUE(a.waitForFinished(10000));
  PQclear(PQexec(holder, "COMMIT"));
  PQfinish(holder);
  EXPECT_TRUE(sent_by_id().empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // the lease
  const Finished b = run_cli(station("packB"), {"ship", "--from", (m_dir.path() / "a.xlsx").string(),
                                              "--courier", "yuantong"});
  EXPECT_EQ(b.exit, 0) << b.err << b.out;
  EXPECT_EQ(sent_by_id()[ids[0]], 1);
  // The journal says which station shipped it.
  const Finished journal = run_cli(station("packA"), {"journal"});
  ASSERT_EQ(journal.exit, 0) << journal.err;
  EXPECT_EQ(journal.lines().at(0)["station"], "packB");

  // packC is killed while its request is out: never sent again, by anyone.
  m_mall.set_latency(std::chrono::milliseconds(2000));
  const fs::path second = workbook({ids[1]}, "c.xlsx");
  const std::string claim_of_second = "SELECT state FROM claims WHERE order_id = '" + ids[1] + "'";
  QProcess c;
  c.start(QStringLiteral(WEIHE_CLI), ship_args(station("packC"), second));
  for (int i = 0; i < 500 && query(claim_of_second) != "sent"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // on its way, not answered
  c.kill();
  ASSERT_TRUE(c.waitForFinished(10000));
  EXPECT_EQ(query(claim_of_second), "sent");
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));  // past the lease and the mall's answer
  m_mall.set_latency(std::chrono::milliseconds(0));
  const Finished d = run_cli(station("packD"), {"ship", "--from", second.string(), "--courier", "yuantong"});
  EXPECT_EQ(d.exit, 3) << d.err;
  EXPECT_NE(d.out.find("packC正在发货"), std::string::npos) << d.out;
  EXPECT_EQ(sent_by_id()[ids[1]], 1);
  // Settled as always, by the order's page, at packC's next start; then it reads as shipped.
  const Finished settled = run_cli(station("packC"), {"journal", "--reconcile"});
  EXPECT_EQ(settled.exit, 0) << settled.err;
  EXPECT_EQ(query("SELECT state FROM claims WHERE order_id = '" + ids[1] + "'"), "shipped");
  const Finished later = run_cli(station("packD"), {"ship", "--from", second.string(), "--courier", "yuantong"});
  EXPECT_EQ(later.exit, 3);
  EXPECT_NE(later.out.find("已由packC发货"), std::string::npos) << later.out;
  EXPECT_EQ(sent_by_id()[ids[1]], 1);
}

TEST_F(Stations, NewOrdersPolledByThreeStationsAreEachAnnouncedOnce) {
  std::vector<std::unique_ptr<QProcess>> polls;
  for (int s = 0; s < 3; ++s) {
    polls.push_back(std::make_unique<QProcess>());
    polls.back()->start(QStringLiteral(WEIHE_CLI),
                        args({"--settings", station("pack" + std::to_string(s)).string(), "poll",
                              "--interval", "150"}));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // every station's first poll
  const std::vector<std::string> before = waiting();
  for (int round = 0; round < 4; ++round) {
    m_mall.add_orders(3, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  std::map<std::string, int> announced;
  for (auto& p : polls) {
    p->terminate();
    ASSERT_TRUE(p->waitForFinished(20000));
    Finished f{p->exitCode(), p->readAllStandardOutput().toStdString(), ""};
    for (const json& line : f.lines())
      for (const json& o : line["orders"]) ++announced[o["id"].get<std::string>()];
  }
  EXPECT_EQ(announced.size(), waiting().size() - before.size());
  EXPECT_EQ(announced.size(), 12u);
  for (const auto& [id, n] : announced) EXPECT_EQ(n, 1) << id;
}

TEST_F(Stations, AStoreThatDoesNotAnswerShipsNothingAndOwnRecordsMoveInOnce) {
  const std::vector<std::string> ids = waiting();
  const fs::path away = station("packX", "host=127.0.0.1 port=1 dbname=weihe connect_timeout=2");
  const Finished refused = run_cli(away, {"ship", "--from", workbook({ids[0]}).string(), "--courier", "yuantong"});
  EXPECT_NE(refused.exit, 0);
  EXPECT_NE(refused.err.find("127.0.0.1:1/weihe"), std::string::npos) << refused.err;
  EXPECT_TRUE(sent_by_id().empty());
  EXPECT_EQ(run_cli(away, {"store", "check"}).exit, 1);

  // A PC that shipped on its own file moves to the shared store.
  const fs::path own = m_dir.path() / "own" / "settings.ini";
  fs::create_directories(own.parent_path());
  {
    store::Database db(store::Database::beside(own));
    store::ShippingJournal journal(db, "demo@mall");
    std::string error;
    for (int i = 0; i < 3; ++i) {
      store::Shipment s;
      s.order_id = "mig" + std::to_string(i);
      s.tracking_no = "SF" + std::to_string(i);
      const auto entry = journal.begin(s, &error);
      ASSERT_TRUE(entry) << error;
      journal.finish(*entry, true, "ok", 200, &error);
    }
    store::OrderArchive archive(db);
    std::vector<store::OrderReading> readings(2);
    for (int i = 0; i < 2; ++i) {
      readings[i].cells.assign(26, "");
      readings[i].cells[8] = "mig" + std::to_string(i);
      readings[i].cells[20] = "北京市朝阳区望京街" + std::to_string(i) + "号";
    }
    ASSERT_TRUE(archive.record("demo@mall", readings, store::OrderArchive::Source::List, &error)) << error;
  }
  fs::copy_file(station("packM"), own);
  const Finished first = run_cli(own, {"store", "migrate"});
  ASSERT_EQ(first.exit, 0) << first.err;
  EXPECT_EQ(first.lines().at(0)["shipments"], 3);
  EXPECT_EQ(first.lines().at(0)["archive"], 2);
  const Finished again = run_cli(own, {"store", "migrate"});
  ASSERT_EQ(again.exit, 0) << again.err;
  EXPECT_EQ(again.lines().at(0)["shipments"], 0);
  EXPECT_EQ(again.lines().at(0)["archive"], 0);
  EXPECT_EQ(query("SELECT count(*) FROM archived_orders WHERE searched LIKE '%望京街%'"), "2");
  EXPECT_EQ(query("SELECT count(*) FROM shipments WHERE order_id LIKE 'mig%'"), "3");
  const Finished check = run_cli(own, {"store", "check"});
  ASSERT_EQ(check.exit, 0) << check.err;
  EXPECT_EQ(check.lines().at(0)["schema_version"], 7);
  EXPECT_EQ(check.lines().at(0)["stations"].at(0)["name"], "packM");
}

}  // namespace
