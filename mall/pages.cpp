#include "mall/pages.h"

#include <string_view>

namespace mall::pages {
namespace {

// Opening of every back-office page; `title` is plain text.
void head(std::string& out, std::string_view title) {
  out += "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n    <meta charset=\"UTF-8\">\n";
  out += "    <title>";
  out += title;
  out += " - 蔚禾商城商户中心</title>\n";
  out += "    <style>body{font-family:sans-serif;margin:0}.wrapper{width:100%}</style>\n";
  out +=
      "</head>\n<body class=\"hold-transition skin-green sidebar-mini\">\n<div "
      "class=\"wrapper\">\n";
}

void tail(std::string& out) {
  out += "</div>\n</body>\n</html>\n";
}

}  // namespace

std::string escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string state_name(int state) {
  switch (state) {
    case 10:
      return "待付款";
    case 20:
      return "待发货";
    case 30:
      return "待收货";
    case 40:
      return "已完成";
    default:
      return "已关闭";
  }
}

std::string login(const std::string& csrf_token, const std::string& error) {
  std::string out;
  out += "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n";
  out += "    <meta charset=\"UTF-8\">\n";
  out += "    <meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  out += "    <meta name=\"csrf-param\" content=\"_csrf-business\">\n";
  out += "    <meta name=\"csrf-token\" content=\"" + csrf_token + "\">\n";
  out += "    <title>商户登录 - 蔚禾商城</title>\n";
  out += "</head>\n<body class=\"login-page\">\n<div class=\"login-box\">\n";
  out += "    <div class=\"login-logo\"><b>蔚禾商城</b> 商户中心</div>\n";
  if (!error.empty()) out += "    <div class=\"alert alert-danger\">" + escape(error) + "</div>\n";
  out += "    <form id=\"login-form\" action=\"/site/login\" method=\"post\">\n";
  out += "        <input type=\"hidden\" name=\"_csrf-business\" value=\"" + csrf_token + "\">\n";
  out +=
      "        <input type=\"text\" name=\"BusinessLoginFrom[username]\" placeholder=\"账号\">\n";
  out +=
      "        <input type=\"password\" name=\"BusinessLoginFrom[password]\" "
      "placeholder=\"密码\">\n";
  out += "        <button type=\"submit\" name=\"login-button\">登录</button>\n";
  out += "    </form>\n</div>\n</body>\n</html>\n";
  return out;
}

std::string dashboard(const Dashboard& d) {
  // The first <h3> of the page must be the unpaid-orders count.
  auto box = [](std::string& out, const char* colour, int figure, const char* caption,
                const char* link) {
    out += "            <div class=\"col-lg-3 col-xs-6\">\n";
    out += "                <div class=\"small-box ";
    out += colour;
    out += "\">\n                    <div class=\"inner\">\n                        <h3>";
    out += std::to_string(figure);
    out += "</h3>\n                        <p>";
    out += caption;
    out += "</p>\n                    </div>\n";
    out += "                    <a href=\"";
    out += link;
    out += "\" class=\"small-box-footer\">查看 <i class=\"fa fa-arrow-circle-right\"></i></a>\n";
    out += "                </div>\n            </div>\n";
  };
  auto badge = [](std::string& out, const char* colour, int figure, const char* icon,
                  const char* caption, const char* link) {
    out += "                    <li><a href=\"";
    out += link;
    out += "\">\n                            <span class=\"badge ";
    out += colour;
    out += "\">";
    out += std::to_string(figure);
    out += "</span>\n                            <i class=\"";
    out += icon;
    out += "\"></i> ";
    out += caption;
    out += "\n                        </a></li>\n";
  };

  std::string out;
  out.reserve(6000);
  head(out, "首页");
  out += "    <aside class=\"main-sidebar\">\n        <dl class=\"store-info\">\n";
  out += "            <dd class=\"store-logo\"><p><img src=\"" + d.logo_path +
         "\"></p><a href=\"business_avatar/update\">修改头像</a></dd>\n";
  out += "            <dd class=\"store-name\"><a href=\"#\" target=\"_blank\">" + d.store_name +
         "</a></dd>\n";
  out += "        </dl>\n    </aside>\n";
  out += "    <div class=\"content-wrapper\">\n";
  out +=
      "        <section class=\"content-header\"><p "
      "class=\"welcome\">欢迎来到蔚禾商城!</p></section>\n";
  out += "        <section class=\"content\">\n        <div class=\"row\">\n";
  box(out, "bg-aqua", d.unpaid, "待付款", "/order/list?order_state=10");
  box(out, "bg-green", d.to_ship, "待发货", "/order/list?order_state=20");
  box(out, "bg-yellow", d.to_receive, "待收货", "/order/list?order_state=30");
  box(out, "bg-red", d.total, "总订单", "/order/list");
  out += "        </div>\n        <div class=\"row\">\n            <div class=\"box\">\n";
  out += "                <div class=\"box-header\">商品概况</div>\n";
  out += "                <ul class=\"nav nav-stacked\">\n";
  badge(out, "bg-green", d.goods_on_sale, "fa fa-barcode", "销售中商品", "/goods/list?state=1");
  badge(out, "bg-red", d.goods_violations, "fa fa-download", "违规下架", "/goods/list?state=10");
  badge(out, "bg-purple", d.goods_in_review, "fa fa-sellsy", "待审待", "/goods/list?state=0");
  badge(out, "bg-aqua", d.goods_in_warehouse, "fa  fa-home", "仓库中商品", "/goods/list?state=2");
  out +=
      "                </ul>\n            </div>\n        </div>\n        </section>\n    </div>\n";
  tail(out);
  return out;
}

std::string order_list(const std::vector<Order>& orders, const std::string& title) {
  std::string out;
  out.reserve(2000 + orders.size() * 560);
  head(out, title);
  out += "    <div class=\"content-wrapper\">\n        <section class=\"content\">\n";
  out += "        <div class=\"box\"><div class=\"box-body\">\n";
  out += "            <table class=\"table table-striped table-bordered\">\n";
  out += "                <thead>\n                <tr>\n";
  out +=
      "                    <th>订单号</th><th>会员</th><th>店铺</th><th>订单总额</th>"
      "<th>支付金额</th><th>支付时间</th><th>状态</th><th>操作</th>\n";
  out += "                </tr>\n                </thead>\n                <tbody>\n";
  for (const Order& o : orders) {
    out += "                <tr data-key=\"";
    out += o.id;
    out += "\">\n";
    const std::string state = state_name(o.state);
    for (const std::string* cell :
         {&o.order_no, &o.member, &o.store, &o.total, &o.paid, &o.pay_time, &state}) {
      out += "                    <td>";
      out += *cell;
      out += "</td>\n";
    }
    out += "                    <td>\n                        <a href=\"/order/edit?id=";
    out += o.id;
    out += "\" title=\"查看\"><span class=\"glyphicon glyphicon-eye-open\"></span></a>\n";
    out += "                    </td>\n                </tr>\n";
  }
  out += "                </tbody>\n            </table>\n";
  // The pager, as link cells (real back offices put more cells after the rows).
  out += "            <table class=\"pager\"><tr>\n";
  for (int page = 1; page <= 24; ++page)
    out += "<td><a href=\"/order/list?page=" + std::to_string(page) + "\">" +
           std::to_string(page) + "</a></td>\n";
  out += "            </tr></table>\n";
  out += "            <div class=\"summary\">共 <b>" + std::to_string(orders.size()) +
         "</b> 条数据</div>\n";
  out += "        </div></div>\n        </section>\n    </div>\n";
  tail(out);
  return out;
}

std::string order_detail(const Order& o) {
  std::string out;
  out.reserve(4000);
  head(out, "订单详情");
  out += "    <div class=\"content-wrapper\">\n    <section class=\"content\">\n";
  out += "    <div class=\"box\">\n";
  out += "        <div class=\"box-header with-border\">订单号：" + o.order_no + "（" +
         state_name(o.state) + "）</div>\n";
  out += "        <div class=\"box-body\">\n";
  out += "            <table class=\"table table-bordered\">\n";
  out += "                <thead>\n                <tr>\n";
  out += "                    <th>商品</th><th>数量</th><th>规格</th><th>单价</th><th>总价</th>\n";
  out += "                </tr>\n                </thead>\n                <tbody>\n";
  out += "                <tr>\n";
  out += "                    <td>" + o.goods + "</td>\n";
  out += "                    <td>" + o.quantity + "</td>\n";
  out += "                    <td>包装方式:" + o.packaging + "</td>\n";
  out += "                    <td>" + o.unit_price + "</td>\n";
  out += "                    <td>" + o.line_total + "</td>\n";
  out += "                </tr>\n";
  for (const Order::GoodsRow& more : o.more_goods) {
    out += "                <tr>\n";
    out += "                    <td>" + more.goods + "</td>\n";
    out += "                    <td>" + more.quantity + "</td>\n";
    out += "                    <td>包装方式:" + more.packaging + "</td>\n";
    out += "                    <td>" + more.unit_price + "</td>\n";
    out += "                    <td>" + more.line_total + "</td>\n";
    out += "                </tr>\n";
  }
  out += "                </tbody>\n            </table>\n";
  out += "        </div>\n    </div>\n";
  out += "    <div class=\"box\">\n        <div class=\"box-body\">订单总价：" + o.paid +
         "</div>\n    </div>\n";
  out += "    <div class=\"box\">\n        <div class=\"box-body\">支付方式：" + o.pay_method +
         "</div>\n    </div>\n";
  out += "    <div class=\"box\">\n        <div class=\"box-body\">取件方式：" + o.pickup_method +
         "</div>\n    </div>\n";
  out += "    <div class=\"box\">\n        <div class=\"box-body\">物流信息</div>\n";
  out += "        <div class=\"box-body\">\n            <table>\n";
  auto row = [&out](const char* label, const std::string& value) {
    out += "                <tr>\n                    <td>";
    out += label;
    out += "</td>\n                    <td>";
    out += value;
    out += "</td>\n                </tr>\n";
  };
  row("买家留言：", o.message);
  row("收 货 人：", o.consignee);
  row("联系电话：", o.phone);
  row("地址：", o.address);
  row("物流单号：", escape(o.tracking_no));
  row("快递公司：", escape(o.courier));
  out += "            </table>\n        </div>\n    </div>\n";
  out += "    </section>\n    </div>\n";
  tail(out);
  return out;
}

std::string not_found(const std::string& what) {
  std::string out;
  head(out, "出错了");
  out += "    <div class=\"content-wrapper\">\n        <div class=\"alert alert-warning\">" +
         escape(what) + "</div>\n    </div>\n";
  tail(out);
  return out;
}

std::string addresses(const std::vector<Address>& list) {
  std::string out;
  head(out, "发货地址");
  out += "    <div class=\"content-wrapper\">\n        <table class=\"table\">\n";
  out += "            <tr><th>收货人</th><th>电话</th><th>地址</th></tr>\n";
  for (const Address& a : list) {
    // The delete link directly follows the address text, with no space between.
    out += "            <tr>\n                <td>" + a.consignee + "</td>\n                <td>" +
           a.phone + "</td>\n                <td>" + a.address +
           "<a data-url=\"/user-address/del?id=" + a.id +
           "\" class=\"btn btn-xs btn-danger\">删除</a></td>\n            </tr>\n";
  }
  out += "        </table>\n    </div>\n";
  tail(out);
  return out;
}

std::string withdraw_form(const std::string& amount) {
  std::string out;
  head(out, "申请提现");
  out += "    <div class=\"content-wrapper\">\n";
  out += "        <form id=\"withdraw-form\" action=\"/withdraw-cash/add\" method=\"post\">\n";
  out += "                    <div class=\"form-group\">\n";
  out += "                        <label class=\"control-label\">可提现金额</label>\n";
  out += "                        <input type=\"text\" value=\"" + amount +
         "\" class=\"form-control\">\n";
  out += "                    </div>\n";
  out += "                    <div class=\"form-group\">\n";
  out += "                        <label class=\"control-label\">提现金额</label>\n";
  out +=
      "                        <input type=\"text\" name=\"WithdrawCash[amount]\" "
      "placeholder=\"必须是100的整倍数\">\n";
  out += "                    </div>\n";
  out += "                    <button type=\"submit\">发起申请</button>\n";
  out += "        </form>\n    </div>\n";
  tail(out);
  return out;
}

std::string withdraw_list(const std::vector<Withdrawal>& list, const std::string& state) {
  std::string out;
  head(out, "提现记录");
  out += "    <div class=\"content-wrapper\">\n        <table class=\"table\">\n";
  out +=
      "            <tr><th>编号</th><th>回购金额</th><th>提交时间</th><th>操作人员</th>"
      "<th>状态</th></tr>\n";
  for (const Withdrawal& w : list) {
    out += "            <tr>\n                <td>" + w.number + "</td>\n                <td>" +
           w.amount + "</td>\n                <td>" + w.time + "</td>\n                <td>" +
           w.operator_name + "</td>\n                <td><span class=\"label\">" + state +
           "</span></td>\n            </tr>\n";
  }
  out += "        </table>\n    </div>\n";
  tail(out);
  return out;
}

std::string server_error() {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"UTF-8\"><title>500 Internal Server "
         "Error</title></head>\n<body><h1>服务器内部错误</h1><p>请稍后再试。</p></body></html>\n";
}

}  // namespace mall::pages
