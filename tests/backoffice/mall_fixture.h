#pragma once
// The shared stand-in mall fixture, signing in through the login operation
// itself (as the window's 按钮1 does).

#include <string>
#include <vector>

#include "backoffice/login.h"
#include "support/mall_login.h"

namespace backoffice_tests {

class MallTest : public testing_support::MallFixture {
 protected:
  using MallFixture::MallFixture;

  void log_in(const std::string& account = "demo", const std::string& password = "demo123") {
    form.set_text("编辑框1", web::gbk(account));
    form.set_text("编辑框2", web::gbk(password));
    backoffice::login(ctx);
  }

  // The mall's orders of one state (0: all), in the order its list shows them.
  std::vector<mall::Order> orders_in(int state) const {
    std::vector<mall::Order> out;
    for (const auto& o : mall.orders())
      if (state == 0 || o.state == state) out.push_back(o);
    return out;
  }
};

}  // namespace backoffice_tests
