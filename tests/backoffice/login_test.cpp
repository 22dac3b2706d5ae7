// Login against the stand-in back office.
#include <gtest/gtest.h>

#include "backoffice/login.h"
#include "mall_fixture.h"

namespace {

using backoffice_tests::MallTest;
using web::gbk;
using web::Text;

const char* const kTitlePrefix = "蔚禾商城订单管理系统 V4.0   qq:604918273          欢迎您！  ";

TEST_F(MallTest, LoginSuccessFillsTheDashboard) {
  log_in();
  const Text store = gbk(mall.options().store_name);
  EXPECT_EQ(form.title(), gbk(kTitlePrefix) + store);
  const char* labels[] = {"标签3", "标签4", "标签5", "标签6"};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(form.text(labels[i]), std::to_string(orders_in(i < 3 ? 10 + 10 * i : 0).size()));
  EXPECT_EQ(form.text("标签10").rfind(gbk("仓库中："), 0), 0u);
  EXPECT_GT(form.text("标签10").size(), gbk("仓库中：").size());
  EXPECT_EQ(form.picture.substr(1, 3), "PNG");
  EXPECT_EQ(form.picture_mode, 1);
  for (const char* b : {"按钮2", "按钮3", "按钮4", "按钮5"}) EXPECT_TRUE(form.is_enabled(b)) << b;
  EXPECT_EQ(form.log, gbk("&=======登录成功======*\r\n"));
  EXPECT_EQ(form.progress, (std::vector<int>{10, 20, 50, 78, 90, 100}));
  EXPECT_EQ(form.spoken,
            (std::vector<Text>{
                gbk("登录中...请稍后"),
                gbk("登录成功！") + store + gbk("欢迎您的使用！待付款订单：") + form.text("标签3") +
                    gbk("笔！待发货订单：") + form.text("标签4") + gbk("笔！待收货订单：") +
                    form.text("标签5") + gbk("笔！总订单：") + form.text("标签6") + gbk("笔！")}));
  const auto requests = mall.requests();
  ASSERT_GE(requests.size(), 3u);
  EXPECT_EQ(requests[1].method + " " + requests[1].target, "POST /site/login");
  EXPECT_EQ(requests[1].body,
            "_csrf-business=" + web::form_encode(ctx.csrf_token.get()) +
                "&BusinessLoginFrom[username]=demo"
                "&BusinessLoginFrom[password]=demo123&login-button=&login-button=");
  EXPECT_EQ(settings.read_setting(gbk("账号")), "demo");
  EXPECT_EQ(settings.read_setting(gbk("密码")), "demo123");
}

TEST_F(MallTest, WrongPasswordLeavesTheDashboardAlone) {
  log_in();
  form.log.clear();
  form.progress.clear();
  form.set_text("标签3", "7");
  log_in("demo", "wrong");
  EXPECT_EQ(form.progress, (std::vector<int>{10, 20, 50, 78, 100}));
  EXPECT_EQ(form.log, gbk("&=======登录失败======*\r\n"));
  EXPECT_EQ(form.spoken.back(), gbk("哎哟喂！你是不是账号密码输入错误啦！呜呜"));
  EXPECT_EQ(form.text("标签3"), "7");
  EXPECT_TRUE(form.is_enabled("按钮4"));  // from the earlier login
  // The title says so, the figures are greyed until the next successful login.
  EXPECT_EQ(form.title(), gbk(kTitlePrefix) + gbk("  ——  未登录"));
  EXPECT_FALSE(form.is_enabled("标签3"));
  // The mistyped password never replaces the one that worked.
  EXPECT_EQ(settings.read_setting(gbk("密码")), "demo123");
  EXPECT_EQ(mall.requests().back().target, "/");  // the logo request, without a path
}

// A back office that fails is said as failing, never as a wrong password,
// and what was typed is not kept.
TEST_F(MallTest, ABackOfficeFaultIsNotAWrongPassword) {
  for (const auto& [fault, said] :
       std::vector<std::pair<mall::Fault, const char*>>{
           {mall::Fault::ServerError, "后台返回 500，没有登录"},
           {mall::Fault::WrongPage, "后台的回答既不是首页也不是登录页，没有登录"},
           {mall::Fault::Garbage, "后台的回答不是网页，没有登录"}}) {
    mall.set_fault(fault);
    form.messages.clear();
    log_in("demo", "typed");
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text, gbk(said));
    EXPECT_EQ(form.status(), gbk("登录失败：") + gbk(said));
    EXPECT_EQ(form.spoken.back(), gbk("哎哟喂！蔚禾商城后台出错了，没有登录！呜呜"));
    EXPECT_EQ(settings.read_setting(gbk("密码")), "");
  }
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
}

TEST_F(MallTest, UnreachableBackOfficeSaysSo) {
  app::Context offline{
      .form = form, .settings = settings, .hosts = {"127.0.0.1:1", "127.0.0.1:1", "127.0.0.1:1"}};
  form.set_text("编辑框1", "demo");
  backoffice::login(offline);
  EXPECT_EQ(form.log,
            gbk("&=======登录失败======*\r\n=======无法连接蔚禾商城后台，请检查网络======\r\n"));
  EXPECT_EQ(form.spoken.back(), gbk("哎哟喂！连接不上蔚禾商城后台，请检查网络后再试！呜呜"));
  EXPECT_EQ(form.progress.back(), 100);
  EXPECT_EQ(settings.read_setting(gbk("账号")), "");
}

}  // namespace
