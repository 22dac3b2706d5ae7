// Login against the stand-in back office.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "backoffice/login.h"
#include "mall/pages.h"
#include "mall_fixture.h"

namespace {

using backoffice_tests::MallTest;
using web::gbk;
using web::Text;

const char* const kTitlePrefix = "蔚禾商城订单管理系统 V4.0   qq:604918273          欢迎您！  ";

int count_in(const std::vector<mall::Order>& orders, int state) {
  int n = 0;
  for (const auto& o : orders) n += state == 0 || o.state == state;
  return n;
}

TEST_F(MallTest, LoginSuccessFillsTheDashboard) {
  log_in();
  const auto orders = m_mall.orders();
  const Text store = gbk(m_mall.options().store_name);
  EXPECT_EQ(form.title(), gbk(kTitlePrefix) + store);
  EXPECT_EQ(form.text("标签3"), std::to_string(count_in(orders, 10)));
  EXPECT_EQ(form.text("标签4"), std::to_string(count_in(orders, 20)));
  EXPECT_EQ(form.text("标签5"), std::to_string(count_in(orders, 30)));
  EXPECT_EQ(form.text("标签6"), std::to_string(count_in(orders, 0)));
  const std::pair<const char*, const char*> goods[] = {{"标签7", "销售中："},
                                                       {"标签8", "违规下架："},
                                                       {"标签9", "待审核："},
                                                       {"标签10", "仓库中："}};
  for (auto [label, prefix] : goods) {
    const Text caption = form.text(label);
    ASSERT_GT(caption.size(), gbk(prefix).size()) << label;
    EXPECT_EQ(caption.substr(0, gbk(prefix).size()), gbk(prefix));
    EXPECT_GE(web::to_integer(caption.substr(gbk(prefix).size())), 0);
  }
  ASSERT_GE(form.picture.size(), 8u);
  EXPECT_EQ(form.picture.substr(1, 3), "PNG");
  EXPECT_EQ(form.picture_mode, 1);
  for (const char* b : {"按钮2", "按钮3", "按钮4", "按钮5"}) EXPECT_TRUE(form.is_enabled(b)) << b;
  EXPECT_FALSE(form.is_enabled("按钮6"));
  EXPECT_EQ(form.log, gbk("&=======登录成功======*\r\n"));
  EXPECT_EQ(form.progress, (std::vector<int>{10, 20, 50, 78, 90, 100}));
  ASSERT_EQ(form.spoken.size(), 2u);
  EXPECT_EQ(form.spoken[0], gbk("登录中...请稍后"));
  EXPECT_EQ(form.spoken[1], gbk("登录成功！") + store + gbk("欢迎您的使用！待付款订单：") +
                                form.text("标签3") + gbk("笔！待发货订单：") + form.text("标签4") +
                                gbk("笔！待收货订单：") + form.text("标签5") + gbk("笔！总订单：") +
                                form.text("标签6") + gbk("笔！"));
  EXPECT_FALSE(ctx.csrf_token.get().empty());

  // The conversation: form page, form post with the token (and its redirect), logo.
  const auto requests = m_mall.requests();
  ASSERT_GE(requests.size(), 3u);
  EXPECT_EQ(requests[0].method + " " + requests[0].target, "GET /site/login");
  EXPECT_EQ(requests[1].method + " " + requests[1].target, "POST /site/login");
  EXPECT_EQ(requests[1].body,
            "_csrf-business=" + ctx.csrf_token.get() +
                "&BusinessLoginFrom[username]=demo&BusinessLoginFrom[password]=demo123"
                "&login-button=&login-button=");
  EXPECT_EQ(requests.back().method, "GET");
  EXPECT_NE(requests.back().target.find("logo"), std::string::npos);

  // The settings file holds the account and password, GB18030 with CR LF.
  EXPECT_EQ(settings.read_setting(gbk("账号")), "demo");
  EXPECT_EQ(settings.read_setting(gbk("密码")), "demo123");
  std::ifstream in(settings.path(), std::ios::binary);
  std::stringstream file;
  file << in.rdbuf();
  EXPECT_NE(file.str().find(gbk("[配置项目]\r\n")), std::string::npos);
  EXPECT_NE(file.str().find(gbk("账号=demo\r\n密码=demo123\r\n")), std::string::npos);
}

TEST_F(MallTest, WrongPasswordLeavesTheDashboardAlone) {
  form.set_text("标签3", "7");
  log_in("demo", "wrong");
  EXPECT_EQ(form.progress, (std::vector<int>{10, 20, 50, 78, 100}));
  EXPECT_EQ(form.log, gbk("&=======登录失败======*\r\n"));
  EXPECT_EQ(form.spoken.back(), gbk("哎哟喂！你是不是账号密码输入错误啦！呜呜"));
  EXPECT_EQ(form.text("标签3"), "7");
  EXPECT_EQ(form.text("标签7"), gbk("销售中："));
  for (const char* b : {"按钮2", "按钮3", "按钮4", "按钮5"}) EXPECT_FALSE(form.is_enabled(b)) << b;
  EXPECT_EQ(form.title(), gbk(kTitlePrefix));
  // Still remembered, and the logo request was still made.
  EXPECT_EQ(settings.read_setting(gbk("密码")), "wrong");
  EXPECT_EQ(m_mall.requests().back().method + " " + m_mall.requests().back().target, "GET /");
  EXPECT_EQ(form.picture_mode, 1);
}

TEST_F(MallTest, LaterFailedLoginKeepsButtonsEnabled) {
  log_in();
  log_in("demo", "");
  EXPECT_TRUE(form.is_enabled("按钮4"));
  EXPECT_EQ(form.log, gbk("&=======登录成功======*\r\n&=======登录失败======*\r\n"));
}

class SpecialCredentials : public MallTest {
 protected:
  static mall::Options options() {
    mall::Options o;
    o.account = "商户&a=1";
    o.password = "p&w=1%25 +x";
    return o;
  }
  SpecialCredentials() : MallTest(options()) {}
};

TEST_F(SpecialCredentials, SeparatorsAndChineseInCredentialsLogIn) {
  log_in("商户&a=1", "p&w=1%25 +x");
  EXPECT_EQ(form.log, gbk("&=======登录成功======*\r\n"));
  EXPECT_EQ(settings.read_setting(gbk("账号")), gbk("商户&a=1"));
  EXPECT_EQ(settings.read_setting(gbk("密码")), "p&w=1%25 +x");
}

TEST_F(MallTest, UnreachableBackOfficeSaysSo) {
  // A port nobody listens on: both requests come back empty.
  app::Context offline{
      .form = form, .settings = settings, .hosts = {"127.0.0.1:1", "127.0.0.1:1", "127.0.0.1:1"}};
  form.set_text("编辑框1", "demo");
  form.set_text("编辑框2", "demo123");
  backoffice::login(offline);
  EXPECT_EQ(form.log,
            gbk("&=======登录失败======*\r\n=======无法连接蔚禾商城后台，请检查网络======\r\n"));
  EXPECT_EQ(form.spoken.back(), gbk("哎哟喂！连接不上蔚禾商城后台，请检查网络后再试！呜呜"));
  EXPECT_EQ(form.progress, (std::vector<int>{10, 20, 50, 78, 100}));
  EXPECT_EQ(settings.read_setting(gbk("账号")), "demo");
  EXPECT_EQ(offline.csrf_token.get(), "");
}

}  // namespace
