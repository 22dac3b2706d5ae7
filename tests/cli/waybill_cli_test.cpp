// weihe-cli waybill against the stand-in mall and its e-waybill provider:
// every order gets one waybill and its label, is shipped with it, and a lost
// answer or a killed process never leads to a second waybill.
#include <gtest/gtest.h>

#include <QProcess>

#include <csignal>
#include <fstream>
#include <thread>

#include "cli_run.h"
#include "mall/stand_in_mall.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class WaybillCli : public ::testing::Test {
 protected:
  WaybillCli() {
    std::ofstream f(m_settings, std::ios::binary);
    f << "[\xC5\xE4\xD6\xC3\xCF\xEE\xC4\xBF]\r\n"  // 配置项目
      << "\xD5\xCB\xBA\xC5=demo\r\n"               // 账号
      << "\xC3\xDC\xC2\xEB=demo123\r\n"            // 密码
      << "[hosts]\r\nbackoffice=" << m_mall.backoffice_host()
      << "\r\nimages=" << m_mall.image_host() << "\r\ntracking=" << m_mall.tracking_host()
      << "\r\n";
  }
  void configure_waybills() {
    const mall::WaybillAccount& a = m_mall.options().waybill;
    std::ofstream(m_settings, std::ios::app | std::ios::binary)
        << "[waybill]\r\nprovider=kuaidi100\r\nendpoint=http://" << m_mall.waybill_host()
        << "/label/order\r\ncourier=yuantong\r\nkey=" << a.key << "\r\nsecret=" << a.secret
        << "\r\npartner_id=P-0001\r\n";
  }
  Finished run(const std::vector<std::string>& args) { return run_cli(m_settings, args); }
  std::vector<std::string> to_ship() const {
    std::vector<std::string> ids;
    for (const auto& o : m_mall.orders())
      if (o.state == 20) ids.push_back(o.id);
    return ids;
  }

  mall::StandInMall m_mall;
  testing_support::TempDir m_dir{"weihe-waybill-cli"};
  fs::path m_settings = m_dir.path() / "settings.ini";
};

TEST_F(WaybillCli, WithoutAnAccountNothingIsSent) {
  Finished r = run({"waybill", "order", "--state", "to-ship"});
  EXPECT_EQ(r.exit, 1);
  EXPECT_NE(r.err.find("电子面单设置不全"), std::string::npos) << r.err;
  EXPECT_TRUE(m_mall.waybill_requests().empty());
  EXPECT_EQ(run({"waybill", "resolve", "--order", "1"}).exit, 2);  // neither --waybill nor --none
}

TEST_F(WaybillCli, EveryOrderGetsOneWaybillItsLabelAndIsShippedWithIt) {
  configure_waybills();
  const std::vector<std::string> ids = to_ship();
  ASSERT_GE(ids.size(), 3u);
  const fs::path labels = m_dir.path() / "labels.pdf";
  Finished r = run({"waybill", "order", "--state", "to-ship", "--ship", "-o", labels.string()});
  ASSERT_EQ(r.exit, 0) << r.err;
  ASSERT_EQ(r.lines().size(), ids.size());
  for (const json& line : r.lines()) {
    EXPECT_EQ(line["result"], "ordered") << line.dump();
    EXPECT_EQ(line["shipped"], true) << line.dump();
    const mall::Order o = m_mall.order(line["id"]);
    EXPECT_EQ(o.state, 30);
    EXPECT_EQ(o.tracking_no, line["waybill"]);
    EXPECT_EQ(m_mall.waybills_for(o.order_no), 1) << o.order_no;
  }
  EXPECT_TRUE(fs::exists(labels));
  // The journal has each one shipped; a reprint needs no request.
  Finished list = run({"waybill", "list", "--result", "shipped"});
  EXPECT_EQ(list.lines().size(), ids.size());
  const std::size_t asked = m_mall.waybill_requests().size();
  EXPECT_EQ(
      run({"waybill", "print", "--order", ids[0], "-o", (m_dir.path() / "again.pdf").string()})
          .exit,
      0);
  EXPECT_EQ(m_mall.waybill_requests().size(), asked);
}

TEST_F(WaybillCli, ALostAnswerStaysUnknownUntilResolvedAndAKilledRunOrdersNothingMore) {
  configure_waybills();
  const std::vector<std::string> ids = to_ship();
  ASSERT_GE(ids.size(), 2u);
  const std::string lost_no = m_mall.order(ids[0]).order_no;
  m_mall.set_waybill_fault(mall::WaybillFault::LostAnswer);
  Finished first = run({"waybill", "order", "--order", ids[0]});
  EXPECT_EQ(first.exit, 3) << first.err;
  EXPECT_EQ(first.lines().at(0)["result"], "unknown");
  m_mall.set_waybill_fault(mall::WaybillFault::None);
  EXPECT_EQ(run({"waybill", "order", "--order", ids[0]}).lines().at(0)["result"], "unknown");
  EXPECT_EQ(m_mall.waybills_for(lost_no), 1);  // issued once, never asked again

  // The number found in the provider's back office settles it.
  const std::string issued = m_mall.waybill_service().waybills().at(0).number;
  ASSERT_EQ(run({"waybill", "resolve", "--order", ids[0], "--waybill", issued}).exit, 0);
  const json reused = run({"waybill", "order", "--order", ids[0]}).lines().at(0);
  EXPECT_EQ(reused["result"], "reused");
  EXPECT_EQ(reused["waybill"], issued);
  // Settled by hand, it can still be cancelled at the provider.
  Finished cancelled = run({"waybill", "cancel", "--order", ids[0]});
  EXPECT_EQ(cancelled.exit, 0) << cancelled.err;
  EXPECT_EQ(cancelled.lines().at(0)["result"], "cancelled");
  EXPECT_TRUE(m_mall.waybill_service().waybills().at(0).cancelled);

  // Killed while the request is out: the next run finds it unknown and asks nothing.
  const std::string killed_no = m_mall.order(ids[1]).order_no;
  m_mall.set_waybill_latency(std::chrono::milliseconds(3000));
  QProcess child;
  child.start(QStringLiteral(WEIHE_CLI),
              {QStringLiteral("--settings"), QString::fromStdString(m_settings.string()),
               QStringLiteral("waybill"), QStringLiteral("order"), QStringLiteral("--order"),
               QString::fromStdString(ids[1])});
  ASSERT_TRUE(child.waitForStarted());
  auto sent = [&] {
    for (const auto& r : m_mall.waybill_requests())
      if (r.body.find(killed_no) != std::string::npos) return true;
    return false;
  };
  for (int i = 0; i < 500 && !sent(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(sent());
  child.kill();
  ASSERT_TRUE(child.waitForFinished(10000));
  m_mall.set_waybill_latency(std::chrono::milliseconds(0));
  const std::size_t asked = m_mall.waybill_requests().size();
  const json after = run({"waybill", "order", "--order", ids[1]}).lines().at(0);
  EXPECT_EQ(after["result"], "unknown") << after.dump();
  EXPECT_EQ(m_mall.waybill_requests().size(), asked);
  EXPECT_LE(m_mall.waybills_for(killed_no), 1);
}

}  // namespace
