#pragma once
// HTML pages of the stand-in back office: pure functions from data to UTF-8
// text. The layout around the values (line breaks, indentation, quotes) is
// exactly what the program's scrapers look for, so edit with care.
//
// Usage: std::string html = mall::pages::order_list(orders);

#include <string>
#include <vector>

#include "mall/stand_in_mall.h"

namespace mall::pages {

struct Dashboard {
  int unpaid = 0, to_ship = 0, to_receive = 0, total = 0;
  int goods_on_sale = 0, goods_violations = 0, goods_in_review = 0, goods_in_warehouse = 0;
  std::string store_name;
  std::string logo_path;  // path on the image host, without the leading "/"
};

struct Address {
  std::string id, consignee, phone, address;
};

std::string login(const std::string& csrf_token, const std::string& error = {});
std::string dashboard(const Dashboard& d);
// One table row per order, in the given order.
std::string order_list(const std::vector<Order>& orders, const std::string& title);
std::string order_detail(const Order& order);
std::string not_found(const std::string& what);
std::string addresses(const std::vector<Address>& list);
std::string withdraw_form(const std::string& amount);
std::string withdraw_list(const std::vector<Withdrawal>& list, const std::string& state_name);
std::string server_error();

// State code as the back office names it: 10 待付款, 20 待发货, 30 待收货, 40 已完成.
std::string state_name(int state);
// Escapes &, <, > and " for text placed in HTML.
std::string escape(const std::string& text);

}  // namespace mall::pages
