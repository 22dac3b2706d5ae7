// http_request against loopback servers that record what arrives, plus the
// cookie text helpers it uses.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "loopback_server.h"
#include "web/cookies.h"
#include "web/http.h"
#include "web/pattern_matcher.h"

using namespace web;
using webtest::RawServer;
using webtest::RecordingServer;

namespace {

// The cookies a "/home" page reports having received.
std::set<std::string> cookie_items(const std::string& home_page) {
  std::set<std::string> items;
  for (const Text& item : split_text(text_between(home_page + "\n", "cookie=", "\n"), "; "))
    items.insert(item);
  return items;
}

// Every route a test needs, on one server.
class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_http_cookies();
    auto& s = m_server.server();
    s.Get("/page", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("hello", "text/html");
    });
    s.Post("/page", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content("posted:" + req.body, "text/html");
    });
    s.Post("/login", [](const httplib::Request& req, httplib::Response& res) {
      std::string user = req.has_param("user") ? req.get_param_value("user") : "x";
      res.set_header("Set-Cookie", "sid=" + user + "; Path=/; HttpOnly");
      res.set_header("set-cookie", user + "_tok=1; Path=/");
      res.set_redirect("/home", 302);
    });
    s.Get("/home", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content("home cookie=" + req.get_header_value("Cookie"), "text/html");
    });
    s.Get("/cookies", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Set-Cookie", "sid=new; path=/");
      res.set_header("Set-Cookie", "old=deleted; path=/");
      res.set_content("c", "text/plain");
    });
    s.Get("/zero", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string("ab\0cd\0", 6), "application/octet-stream");
    });
    s.Get("/bigheader", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Set-Cookie", "big=1");
      res.set_header("X-Filler", std::string(6000, 'f'));
      res.set_content("body", "text/plain");
    });
    m_server.start();
  }
  void TearDown() override { set_http_timeouts(HttpTimeouts{}); }

  RecordingServer m_server;
};

}  // namespace

TEST_F(HttpTest, GetSendsExactlyTheDefaultHeaders) {
  Text url = m_server.url("/page?a=1 b");
  EXPECT_EQ(http_request(url), "hello");
  auto seen = m_server.requests();
  ASSERT_EQ(seen.size(), 1u);
  const auto& r = seen[0];
  EXPECT_EQ(r.method, "GET");
  EXPECT_EQ(r.path, "/page?a=1%20b");  // the space goes out escaped; the Referer keeps it
  std::set<std::string> names;
  for (const auto& [name, value] : r.headers) names.insert(name);
  EXPECT_EQ(names, (std::set<std::string>{"Accept", "Accept-Language", "Content-Type", "Host",
                                          "Referer", "User-Agent"}));
  EXPECT_EQ(r.header("Accept"), "*/*");
  EXPECT_EQ(r.header("Referer"), url);
  EXPECT_EQ(r.header("Accept-Language"), "zh-cn");
  EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(r.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
}

TEST_F(HttpTest, ExtraHeadersSuppressDefaultsAndAreUpdatedInPlace) {
  Text url = m_server.url("/page");
  Text headers = "Accept: text/html\r\nReferer: http://r/\r\nAccept-Language: en";
  http_request(url, 0, {}, nullptr, nullptr, &headers);
  EXPECT_EQ(headers,
            "Accept: text/html\r\nReferer: http://r/\r\nAccept-Language: en\r\n"
            "Content-Type: application/x-www-form-urlencoded");
  // A label in another letter case does not count as the default's label.
  Text lower = "content-type: text/plain\r\nUser-Agent:  Robot/1 ";
  http_request(url, 0, {}, nullptr, nullptr, &lower);
  EXPECT_EQ(lower,
            "content-type: text/plain\r\nUser-Agent:  Robot/1 \r\nAccept: */*\r\nReferer: " + url +
                "\r\nAccept-Language: zh-cn\r\n"
                "Content-Type: application/x-www-form-urlencoded");
  Text token = "X-CSRF-Token: t0k";
  http_request(url, 1, "a=1", nullptr, nullptr, &token);
  EXPECT_EQ(token, "X-CSRF-Token: t0k\r\nAccept: */*\r\nReferer: " + url +
                       "\r\nAccept-Language: zh-cn\r\n"
                       "Content-Type: application/x-www-form-urlencoded");

  auto seen = m_server.requests();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].header("Accept"), "text/html");
  EXPECT_EQ(seen[0].header_count("Accept"), 1u);
  EXPECT_EQ(seen[0].header("Referer"), "http://r/");
  EXPECT_EQ(seen[0].header("Accept-Language"), "en");
  EXPECT_EQ(seen[1].header_count("Content-Type"), 2u);
  EXPECT_EQ(seen[1].header("User-Agent"), "Robot/1");
  EXPECT_EQ(seen[1].header_count("User-Agent"), 1u);
  EXPECT_EQ(seen[2].header("X-CSRF-Token"), "t0k");

  // A token header with no value (a shipping request before login) still goes out.
  RawServer raw("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  Text empty_token = "X-CSRF-Token: ";
  http_request(raw.url("/order/send"), 1, "a=1", nullptr, nullptr, &empty_token);
  EXPECT_NE(raw.received().find("\r\nX-CSRF-Token:\r\n"), std::string::npos) << raw.received();
}

TEST_F(HttpTest, MethodsBodiesAndNoExpect) {
  Text url = m_server.url("/page");
  EXPECT_EQ(http_request(url, 1, "user=a&pw=%26"), "posted:user=a&pw=%26");
  EXPECT_EQ(http_request(url, 5, "ignored"), "hello");
  EXPECT_EQ(http_request(url, -1), "hello");
  Bytes raw("x\0y", 3);
  EXPECT_EQ(http_request(url, 1, "text", nullptr, nullptr, nullptr, nullptr, false, &raw),
            std::string("posted:x\0y", 10));
  Bytes empty;
  EXPECT_EQ(http_request(url, 1, "fromtext", nullptr, nullptr, nullptr, nullptr, false, &empty),
            "posted:fromtext");
  EXPECT_EQ(empty, "fromtext");  // body_bytes takes the body's bytes
  EXPECT_EQ(http_request(url, 1), "posted:");
  // The test server refuses form bodies over 8 KB, so this one is plain text.
  std::string large(300000, 'q');
  Text plain = "Content-Type: text/plain";
  EXPECT_EQ(http_request(url, 1, large, nullptr, nullptr, &plain).size(), large.size() + 7);
  EXPECT_EQ(http_request(url, 2), "");

  auto seen = m_server.requests();
  ASSERT_EQ(seen.size(), 8u);
  EXPECT_EQ(seen[0].method, "POST");
  EXPECT_EQ(seen[0].header("Content-Length"), "13");
  EXPECT_EQ(seen[1].method, "GET");
  EXPECT_EQ(seen[1].body, "");
  EXPECT_EQ(seen[2].method, "GET");
  EXPECT_EQ(seen[5].header("Content-Length"), "0");
  EXPECT_EQ(seen[6].header("Expect"), "<none>");
  EXPECT_EQ(seen[7].method, "HEAD");
}

TEST_F(HttpTest, RedirectedPostStoresCookiesForLaterRequests) {
  Text headers_out, cookies_out;
  Bytes body = http_request(m_server.url("/login?user=u1"), 1, "pw=1", nullptr, &cookies_out,
                            nullptr, &headers_out);
  // The body and headers are the final page's; the redirect's cookie is kept.
  EXPECT_EQ(cookie_items(body), (std::set<std::string>{"sid=u1", "u1_tok=1"}));
  EXPECT_EQ(headers_out.rfind("HTTP/1.1 200", 0), 0u);
  EXPECT_EQ(cookies_out, "");
  EXPECT_EQ(cookie_items(http_request(m_server.url("/home"))),
            (std::set<std::string>{"sid=u1", "u1_tok=1"}));
  auto seen = m_server.requests();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1].method, "GET");  // 302 after POST continues as GET

  // Without following, the redirect itself is the answer and its cookies are read.
  Text block;
  http_request(m_server.url("/login?user=u2"), 1, "", nullptr, &cookies_out, nullptr, &block, true);
  EXPECT_EQ(block.rfind("HTTP/1.1 302", 0), 0u);
  EXPECT_NE(block.find("Set-Cookie: u2_tok=1"), std::string::npos);  // label normalised
  EXPECT_EQ(cookies_out, "sid=u2; u2_tok=1");

  clear_http_cookies();
  EXPECT_EQ(http_request(m_server.url("/home")), "home cookie=");
}

TEST_F(HttpTest, GivenCookieSwitchesTheStoreOffAndIsMerged) {
  http_request(m_server.url("/login?user=s"), 1);  // the store now holds sid=s
  Text cookie;                                     // given, but empty
  EXPECT_EQ(http_request(m_server.url("/home"), 0, {}, &cookie), "home cookie=");
  EXPECT_EQ(cookie, "");
  Text jar = "old=1; keep=2; sid=0";
  Text out;
  http_request(m_server.url("/cookies"), 0, {}, &jar, &out);
  EXPECT_EQ(jar, "sid=new; keep=2");
  EXPECT_EQ(out, "sid=new;old=deleted");  // the merge leaves it without spaces
  EXPECT_EQ(http_request(m_server.url("/home"), 0, {}, &jar), "home cookie=sid=new; keep=2");
  Text empty_jar;
  http_request(m_server.url("/cookies"), 0, {}, &empty_jar);
  EXPECT_EQ(empty_jar, "sid=new");
  auto seen = m_server.requests();
  EXPECT_EQ(seen[2].header_count("Cookie"), 0u);
}

TEST_F(HttpTest, ConcurrentLoginsShareOneIntactStore) {
  auto worker = [this](std::string user, int* good) {
    for (int i = 0; i < 25; ++i) {
      auto items = cookie_items(http_request(m_server.url("/login?user=" + user), 1, "pw=1"));
      // The store may hold the other thread's sid, but every cookie is whole.
      bool whole = items.count(user + "_tok=1") && (items.count("sid=a") || items.count("sid=b"));
      for (const auto& item : items)
        whole =
            whole && (item == "sid=a" || item == "sid=b" || item == "a_tok=1" || item == "b_tok=1");
      if (whole) ++*good;
    }
  };
  int good_a = 0, good_b = 0;
  std::thread a(worker, "a", &good_a), b(worker, "b", &good_b);
  a.join();
  b.join();
  EXPECT_EQ(good_a, 25);
  EXPECT_EQ(good_b, 25);
  Bytes home = http_request(m_server.url("/home"));
  EXPECT_NE(home.find("a_tok=1"), std::string::npos);
  EXPECT_NE(home.find("b_tok=1"), std::string::npos);
}

TEST_F(HttpTest, ZeroBytesAndOversizedHeaderBlocks) {
  EXPECT_EQ(http_request(m_server.url("/zero")), std::string("ab\0cd\0", 6));
  Text out = "untouched", block = "untouched", jar = "a=1";
  EXPECT_EQ(http_request(m_server.url("/bigheader"), 0, {}, &jar, &out, nullptr, &block), "body");
  EXPECT_EQ(out, "");  // the block does not fit 5000 bytes: no cookies taken from it
  EXPECT_EQ(block, "");
  EXPECT_EQ(jar, "a=1");
}

// A silent server is left after the stall window; a page that keeps
// trickling in for much longer than that is read whole; a page cut short
// (before its length or its last chunk) is returned as far as it came and
// flagged incomplete.
TEST(HttpFailures, DeadOrBrokenServersGiveWhatArrived) {
  using std::chrono::milliseconds;
  set_http_timeouts({milliseconds(2000), milliseconds(300)});
  const auto get = [](const Text& url, HttpOutcome* how, Text* cookies = nullptr,
                      Text* headers = nullptr) {
    return http_request(url, 0, {}, nullptr, cookies, headers, nullptr, false, nullptr, {}, how);
  };
  HttpOutcome how;
  {
    RawServer silent("");
    auto t0 = std::chrono::steady_clock::now();
    Text headers;
    EXPECT_EQ(get(silent.url("/"), &how, nullptr, &headers), "");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    EXPECT_FALSE(how.complete);
    EXPECT_NE(headers.find("Accept: */*"), std::string::npos);  // headers were still built
  }
  {
    // 2 KB at 64 bytes per 50 ms: about 1.6 s, far past the 300 ms window.
    const std::string page(2048, 'x');
    RawServer slow("HTTP/1.1 200 OK\r\nContent-Length: 2048\r\n\r\n" + page, 1, milliseconds(50));
    EXPECT_EQ(get(slow.url("/"), &how), page);
    EXPECT_TRUE(how.complete);
    EXPECT_EQ(how.status, 200);
  }
  {
    RawServer cut("HTTP/1.1 200 OK\r\nContent-Length: 100\r\nSet-Cookie: c=1\r\n\r\n0123456789");
    Text cookies;
    EXPECT_EQ(get(cut.url("/"), &how, &cookies), "0123456789");
    EXPECT_EQ(cookies, "c=1");
    EXPECT_FALSE(how.complete);
    EXPECT_EQ(how.status, 200);
  }
  {
    RawServer chunks("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n");
    EXPECT_EQ(get(chunks.url("/"), &how), "hello");
    EXPECT_FALSE(how.complete);
  }
  {
    // A cookie value ending in a three-byte character right before CR LF
    // stays one line: the next header is not carried into the cookie text.
    RawServer tricky(
        "HTTP/1.1 200 OK\r\nSet-Cookie: a=\xE5\x80\xBC\r\nX-Injected: yes\r\n"
        "Set-Cookie: b=\xE5\x80\xBC; path=/\r\nContent-Length: 2\r\n\r\nok");
    Text cookies;
    EXPECT_EQ(get(tricky.url("/"), &how, &cookies), "ok");
    EXPECT_EQ(cookies, "a=\xE5\x80\xBC; b=\xE5\x80\xBC");
  }
  {
    RawServer whole("HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\n\r\nno");
    EXPECT_EQ(get(whole.url("/"), &how), "no");
    EXPECT_TRUE(how.complete);
    EXPECT_EQ(how.status, 404);
  }
  {
    // Header lines ended by LF alone still give CR LF lines and their cookies.
    RawServer bare("HTTP/1.1 200 OK\nContent-Length: 2\nSet-Cookie: a=1\nSet-Cookie: b=2\n\nok");
    Text cookies, block;
    EXPECT_EQ(http_request(bare.url("/"), 0, {}, nullptr, &cookies, nullptr, &block), "ok");
    EXPECT_EQ(cookies, "a=1; b=2");
    EXPECT_EQ(block,
              "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nSet-Cookie: a=1\r\nSet-Cookie: b=2\r\n");
  }
  set_http_timeouts(HttpTimeouts{});
  EXPECT_EQ(http_timeouts().connect, std::chrono::milliseconds(15000));

  // Nothing listens on the port: an empty body, not a hang.
  EXPECT_EQ(http_request("http://127.0.0.1:1/"), "");
  EXPECT_EQ(http_request(""), "");
  EXPECT_EQ(http_request("HTTPS://127.0.0.1:1/"), "");
}

TEST(CookieText, ParseSetCookies) {
  Text block = replace_text(
      "HTTP/1.1 200 OK\r\nSet-Cookie: sid=abc; path=/\r\nset-cookie: lang=cn\r\n"
      "X-Note: see Set-Cookie: z=9; q\r\nContent-Length: 0\r\n",
      "Set-Cookie", "Set-Cookie", 1, -1, false);
  EXPECT_EQ(parse_set_cookies(block), "sid=abc; lang=cn; z=9");
  EXPECT_EQ(parse_set_cookies("HTTP/1.1 200 OK\r\n"), "");
  EXPECT_EQ(parse_set_cookies("Set-Cookie: a=1\r\nSet-Cookie: a=2\r\n"), "a=1; a=2");
}

TEST(CookieText, MergeDedupeNamesAndHeaderValues) {
  Text kept = "sid=0; a=2", fresh = "sid=1; b=deleted";
  EXPECT_EQ(merge_cookies(kept, fresh), "sid=1; a=2");
  EXPECT_EQ(kept, "sid=1; a=2");
  EXPECT_EQ(fresh, "sid=1;b=deleted");
  kept = "a=2; b=5", fresh = "b=deleted";
  EXPECT_EQ(merge_cookies(kept, fresh), "a=2");
  kept = "", fresh = "x=1 2; y=3";
  EXPECT_EQ(merge_cookies(kept, fresh), "x=12; y=3");
  kept = "a=1; a=1", fresh = "";
  EXPECT_EQ(merge_cookies(kept, fresh), "a=1");
  kept = "", fresh = "a=1; a=2";
  EXPECT_EQ(merge_cookies(kept, fresh), "a=1; a=2");
  EXPECT_EQ(cookie_name(" sid =1"), "sid");
  EXPECT_EQ(cookie_name("flag"), "flag");
  EXPECT_EQ(dedupe_items("a; b; a; c; b", "; "), "a; b; c");
  EXPECT_EQ(header_value("Content-Type"), "");
  EXPECT_EQ(header_value("Referer:  http://x:81/ "), "http://x:81/");
}

TEST(HttpBadInput, SixtyFourMegabyteBodyIsReturnedAndScraped) {
  RecordingServer server;
  std::string big;
  big.reserve(64u << 20);
  while (big.size() < (64u << 20) - 64) big += "<td>row 100% \xE5\xA5\xBD</td>\n";
  big += "<b>end</b>";
  server.server().Get("/big", [&big](const httplib::Request&, httplib::Response& res) {
    res.set_content(big, "text/html");
  });
  server.start();
  Bytes body = http_request(server.url("/big"));
  ASSERT_EQ(body.size(), big.size());
  PatternMatcher m;
  EXPECT_TRUE(m.run("<b>(.*?)</b>", page_text(body)));
  EXPECT_EQ(m.submatch(1, 1), "end");
}

TEST_F(HttpTest, CapitalHttpsSchemeSpeaksTls) {
  // The plain server cannot complete a TLS handshake, so nothing reaches /page.
  set_http_timeouts({std::chrono::milliseconds(2000), std::chrono::milliseconds(2000)});
  Text url = "HTTPS://127.0.0.1:" + std::to_string(m_server.port()) + "/page";
  EXPECT_EQ(http_request(url), "");
  for (const auto& r : m_server.requests()) EXPECT_NE(r.path, "/page");
}
