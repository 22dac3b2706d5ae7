#include "backoffice/dashboard.h"

#include <string>

namespace backoffice {

using web::gbk;
using web::text_between;

namespace {

const std::string k20(20, ' ');
const std::string k24(24, ' ');
const std::string k28(28, ' ');

// Markers as system text; built once, on first use.
struct Markers {
  Text token_left = "csrf-token\" content=\"";
  Text token_right = gbk("\">\n    <title>商户");
  Text welcome = gbk("欢迎来到蔚禾商城!");
  Text logo_left = "<dd class=\"store-logo\"><p><img src=\"";
  Text logo_right = "\"></p><a href=\"business_av";
  Text store_left = "ref=\"#\" target=\"_blank\">";
  Text store_right = "</a></dd>";

  Text unpaid_left = "<h3>";
  Text unpaid_right = gbk("</h3>\n" + k24 + "<p>待付款</p>");
  Text to_ship_left =
      "<div class=\"small-box bg-green\">\n" + k20 + "<div class=\"inner\">\n" + k24 + "<h3>";
  Text to_ship_right = gbk("</h3>\n" + k24 + "<p>待发货</p>");
  Text to_receive_left = "yellow\">\n" + k20 + "<div class=\"inner\">\n" + k24 + "<h3>";
  Text to_receive_right = gbk("</h3>\n" + k24 + "<p>待收货</p>\n");
  Text all_left =
      "<div class=\"small-box bg-red\">\n" + k20 + "<div class=\"inner\">\n" + k24 + "<h3>";
  Text all_right = gbk("</h3>\n" + k24 + "<p>总订单</p>");

  Text on_sale_left = "badge bg-green\">";
  Text on_sale_right = gbk("</span>\n" + k28 + "<i class=\"fa fa-barcode\"></i> 销售中商品");
  Text taken_down_left = "lass=\"badge bg-red\">";
  Text taken_down_right = gbk("</span>\n" + k28 + "<i class=\"fa fa-download\"></i> 违规下架");
  Text review_left = "=\"badge bg-purple\">";
  Text review_right = gbk("</span>\n" + k28 + "<i class=\"fa fa-sellsy\"></i> 待审待");
  Text warehouse_left = "an class=\"badge bg-aqua\">";
  Text warehouse_right = gbk("</span>\n" + k28 + "<i class=\"fa  fa-home\"></i> 仓库中商品\n");
};

const Markers& markers() {
  static const Markers m;
  return m;
}

}  // namespace

Text csrf_token_of(const Text& login_page) {
  return text_between(login_page, markers().token_left, markers().token_right);
}

Text login_body(const Text& token, const Text& account, const Text& password) {
  return "_csrf-business=" + web::form_encode(token) +
         "&BusinessLoginFrom[username]=" + web::form_encode(account) +
         "&BusinessLoginFrom[password]=" + web::form_encode(password) +
         "&login-button=&login-button=";
}

bool is_logged_in(const Text& page) {
  return web::find_text(page, markers().welcome) != -1;
}

Text logo_path_of(const Text& page) {
  return text_between(page, markers().logo_left, markers().logo_right);
}

Text store_name_of(const Text& page) {
  return text_between(page, markers().store_left, markers().store_right);
}

Dashboard dashboard_of(const Text& page) {
  const Markers& m = markers();
  Dashboard d;
  d.unpaid_orders = text_between(page, m.unpaid_left, m.unpaid_right);
  d.orders_to_ship = text_between(page, m.to_ship_left, m.to_ship_right);
  d.orders_to_receive = text_between(page, m.to_receive_left, m.to_receive_right);
  d.all_orders = text_between(page, m.all_left, m.all_right);
  d.goods_on_sale = text_between(page, m.on_sale_left, m.on_sale_right);
  d.goods_taken_down = text_between(page, m.taken_down_left, m.taken_down_right);
  d.goods_in_review = text_between(page, m.review_left, m.review_right);
  d.goods_in_warehouse = text_between(page, m.warehouse_left, m.warehouse_right);
  d.store_name = store_name_of(page);
  return d;
}

}  // namespace backoffice
