#pragma once
// "测试连接": a login to a shop as it stands in the settings dialog (saved or
// not), in a session of its own and on no window; whether it logged in and
// what it found or why not, in words. Nothing of it is kept: the settings
// file is not written and no other session is touched.
//
// Usage: ShopCheck c = check_shop(shop);   // blocks for the login's requests
//        label->setText(qs(c.said));

#include "core/shops.h"

namespace app {

struct ShopCheck {
  bool logged_in = false;
  Text said;  // "登录成功：店名，待发货12笔" or the reason it did not log in
};

ShopCheck check_shop(const Shop& shop);

}  // namespace app
