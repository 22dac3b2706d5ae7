// Fault modes of the stand-in mall, each observed through http_request, plus
// the mall's own form and query reading.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "mall/form.h"
#include "mall_client.h"

namespace {

using malltest::count_matches;
using malltest::MallClient;
using std::chrono::milliseconds;
using std::chrono::steady_clock;
using web::gbk;
using web::Text;

class MallFaults : public ::testing::Test {
 protected:
  void SetUp() override { web::clear_http_cookies(); }
  void TearDown() override { web::clear_http_cookies(); }

  mall::StandInMall mall;
  MallClient client{mall};
};

TEST_F(MallFaults, SlowAnswersArriveAfterTheDelay) {
  mall.set_fault(mall::Fault::Slow);
  mall.set_slow_delay(milliseconds(300));
  EXPECT_EQ(mall.slow_delay(), milliseconds(300));
  const auto start = steady_clock::now();
  const Text page = client.login();
  const auto elapsed = steady_clock::now() - start;
  EXPECT_NE(web::find_text(page, gbk("欢迎来到蔚禾商城!")), -1);
  EXPECT_GE(elapsed, milliseconds(900));  // form, post and redirect each wait
}

TEST_F(MallFaults, SlowAnswerGivesUpAtTheClientTimeout) {
  mall.set_fault(mall::Fault::Slow);
  mall.set_slow_delay(milliseconds(3000));
  const auto saved = web::http_timeouts();
  web::set_http_timeouts({milliseconds(1000), milliseconds(300)});
  const auto start = steady_clock::now();
  EXPECT_TRUE(client.get_bytes("/site/login").empty());
  EXPECT_LT(steady_clock::now() - start, milliseconds(2500));
  web::set_http_timeouts(saved);
}

TEST_F(MallFaults, DroppedConnectionsGiveNothingButAreRecorded) {
  client.login();
  mall.clear_requests();
  mall.set_fault(mall::Fault::Drop);
  EXPECT_TRUE(client.get_bytes("/order/list?order_state=20").empty());
  EXPECT_TRUE(web::http_request("http://" + mall.image_host() + "/x.png").empty());
  EXPECT_TRUE(client.ship("1001", "700123", client.token(), mall.sender_address_id()).empty());
  EXPECT_EQ(mall.order("1001").state, 20);

  const auto seen = mall.requests();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].method, "GET");
  EXPECT_EQ(seen[0].target, "/order/list?order_state=20");
  EXPECT_EQ(seen[1].target, "/x.png");
  EXPECT_EQ(seen[2].method, "POST");
  EXPECT_EQ(seen[2].target, "/order/send");
  EXPECT_NE(seen[2].body.find("order_id=1001"), std::string::npos);
  EXPECT_EQ(seen[2].headers.count("X-CSRF-Token"), 1u);

  mall.set_fault(mall::Fault::None);
  EXPECT_EQ(count_matches(malltest::row_pattern(), client.get("/order/list?order_state=20")), 15);
}

TEST_F(MallFaults, ServerErrorAnswers500OnEveryHost) {
  mall.set_fault(mall::Fault::ServerError);
  Text headers_out;
  const Text page = web::page_text(
      web::http_request(client.url("/site/login"), 0, {}, nullptr, nullptr, nullptr, &headers_out));
  EXPECT_NE(web::find_text(headers_out, " 500 "), -1);
  EXPECT_NE(web::find_text(page, gbk("服务器内部错误")), -1);
  EXPECT_TRUE(web::text_between(page, malltest::token_left(), malltest::token_right()).empty());
  headers_out.clear();
  web::http_request("http://" + mall.tracking_host() + "/api?id=demo-key&com=yunda&nu=1", 0, {},
                    nullptr, nullptr, nullptr, &headers_out);
  EXPECT_NE(web::find_text(headers_out, " 500 "), -1);
}

TEST_F(MallFaults, ExpiredSessionSendsEveryPageToTheLogin) {
  client.login();
  mall.set_fault(mall::Fault::ExpiredSession);
  for (const char* path : {"/order/list", "/site/index", "/withdraw-cash/add"}) {
    const Text page = client.get(path);
    EXPECT_EQ(count_matches(malltest::row_pattern(), page), 0);
    EXPECT_FALSE(web::text_between(page, malltest::token_left(), malltest::token_right()).empty())
        << path;
  }
  // Logging in again does not help while the fault lasts.
  EXPECT_EQ(web::find_text(client.login(), gbk("欢迎来到蔚禾商城!")), -1);
  EXPECT_EQ(web::find_text(client.ship("1001", "7001", client.token(), mall.sender_address_id()),
                           gbk("操作成功")),
            -1);
  mall.set_fault(mall::Fault::None);
  EXPECT_NE(web::find_text(client.login(), gbk("欢迎来到蔚禾商城!")), -1);
}

TEST_F(MallFaults, GarbageBodyHoldsZeroBytesAndInvalidUtf8) {
  mall.set_fault(mall::Fault::Garbage);
  const web::Bytes body = client.get_bytes("/order/list");
  ASSERT_FALSE(body.empty());
  EXPECT_NE(body.find('\0'), std::string::npos);
  EXPECT_EQ(static_cast<unsigned char>(body[0]), 0xC3u);  // a lead byte without its trail
  const Text page = web::page_text(body);  // cut at the first zero byte, then converted
  EXPECT_NE(web::find_text(page, "</h3>"), -1);
  EXPECT_EQ(web::find_text(page, "<td>"), -1);
  EXPECT_EQ(count_matches(malltest::row_pattern(), page), 0);
  EXPECT_FALSE(web::http_request("http://" + mall.image_host() + "/").empty());
}

// A huge page still holds the real page, its rows inside the filler.
TEST_F(MallFaults, HugeBodyHasTheRequestedSizeAndTheRealRows) {
  client.login();
  mall.set_fault(mall::Fault::Huge);
  mall.set_huge_size(3u << 20);
  EXPECT_EQ(mall.huge_size(), 3u << 20);
  const web::Bytes body = client.get_bytes("/order/list");
  EXPECT_EQ(body.size(), 3u << 20);
  EXPECT_EQ(count_matches(malltest::row_pattern(), web::page_text(body)),
            static_cast<int>(mall.orders().size()));
}

// The latency knob delays every answer, without being a fault.
TEST_F(MallFaults, LatencyDelaysEveryAnswer) {
  mall.set_latency(milliseconds(150));
  const auto start = steady_clock::now();
  EXPECT_FALSE(client.get_bytes("/site/login").empty());
  EXPECT_GE(steady_clock::now() - start, milliseconds(150));
  EXPECT_EQ(mall.fault(), mall::Fault::None);
}

TEST_F(MallFaults, OverriddenPagesAreServedUntilRemoved) {
  const std::string canned = "<p>维护中 100%</p>";
  mall.override_page("/withdraw-cash/add", canned);
  EXPECT_EQ(client.get_bytes("/withdraw-cash/add"), canned);  // even logged out
  mall.override_page("/withdraw-cash/add", "");
  EXPECT_NE(client.get_bytes("/withdraw-cash/add"), canned);
}

TEST(MallLifetime, StopsPromptlyWithASlowRequestInFlight) {
  auto mall = std::make_unique<mall::StandInMall>();
  mall->set_fault(mall::Fault::Slow);
  mall->set_slow_delay(milliseconds(20000));
  const std::string url = "http://" + mall->backoffice_host() + "/site/login";
  std::thread request([url] { web::http_request(url); });
  while (mall->requests().empty()) std::this_thread::sleep_for(milliseconds(5));
  const auto start = steady_clock::now();
  mall.reset();
  EXPECT_LT(steady_clock::now() - start, milliseconds(3000));
  request.join();
}

TEST(MallLifetime, BusyFixedPortIsReportedClearly) {
  mall::StandInMall first;
  mall::Options options;
  options.backoffice_port = std::stoi(first.backoffice_host().substr(10));
  try {
    mall::StandInMall second(options);
    FAIL() << "a second mall on a busy port should not start";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos);
  }
}

TEST(MallForm, DecodesOnlyWellFormedPercentTriples) {
  EXPECT_EQ(mall::percent_decode("100%E5%A5%BD"), "100好");
  EXPECT_EQ(mall::percent_decode("100%好评"), "100%好评");
  EXPECT_EQ(mall::percent_decode("%zz%4"), "%zz%4");
  EXPECT_EQ(mall::percent_decode("a+b%2Bc"), "a b+c");
  EXPECT_EQ(mall::percent_decode("a+b", false), "a+b");

  const auto fields = mall::parse_form("x=1&&flag&x=2&a%5Bb%5D=%26");
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[1], (std::pair<std::string, std::string>{"flag", ""}));
  EXPECT_EQ(fields[3], (std::pair<std::string, std::string>{"a[b]", "&"}));

  auto query = mall::parse_query("/order/edit?id=7&id=8&nu=1%26order_id%3D9#top");
  EXPECT_EQ(query["id"], "7");
  EXPECT_EQ(query["nu"], "1&order_id=9");
  EXPECT_TRUE(mall::parse_query("/order/list").empty());

  EXPECT_EQ(mall::cookie_in_header("a=1; sid=xyz;b=2", "sid"), "xyz");
  EXPECT_EQ(mall::cookie_in_header("xsid=1; b=2", "sid"), "");
}

}  // namespace
