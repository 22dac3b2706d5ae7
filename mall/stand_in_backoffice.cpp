// The stand-in back office's pages: dashboard, order lists and details, shipping, addresses,
// withdrawals.
#include "mall/stand_in_impl.h"

namespace mall {

std::string StandInMall::Impl::add_order_locked(int state) {
  const int id = next_order_id++;
  order_index[std::to_string(id)] = orders.size();
  orders.push_back(seeder.order(id, state, options.store_name));
  return orders.back().id;
}

std::string StandInMall::Impl::dashboard_page() {
  pages::Dashboard d;
  {
    std::lock_guard lock(mutex);
    for (const Order& o : orders) {
      d.unpaid += o.state == 10;
      d.to_ship += o.state == 20;
      d.to_receive += o.state == 30;
    }
    d.total = static_cast<int>(orders.size());
  }
  d.goods_on_sale = 28;
  d.goods_violations = 1;
  d.goods_in_review = 3;
  d.goods_in_warehouse = 6;
  d.store_name = options.store_name;
  d.logo_path = kLogoPath;
  return pages::dashboard(d);
}

std::string StandInMall::Impl::order_list_page(const std::string& target) {
  const auto query = parse_query(target);
  const auto it = query.find("order_state");
  int state = 0;  // 0: every order
  if (it != query.end() && !it->second.empty()) {
    state = -1;  // an unknown state lists nothing
    for (int s : {10, 20, 30, 40}) {
      if (it->second == std::to_string(s)) state = s;
    }
  }
  std::vector<Order> chosen;
  {
    std::lock_guard lock(mutex);
    if (state == 0) {
      chosen = orders;
    } else {
      for (const Order& o : orders) {
        if (o.state == state) chosen.push_back(o);
      }
    }
  }
  return pages::order_list(chosen, state > 0 ? pages::state_name(state) + "订单" : "订单列表");
}

void StandInMall::Impl::order_edit(const httplib::Request& req, httplib::Response& res) {
  const auto query = parse_query(req.target);
  const auto it = query.find("id");
  if (it != query.end()) wait_for_order(it->second);
  Order o;
  {
    std::lock_guard lock(mutex);
    if (it != query.end()) {
      auto found = order_index.find(it->second);
      if (found != order_index.end()) o = orders[found->second];
    }
  }
  if (o.id.empty()) {
    res.status = 404;
    res.set_content(pages::not_found("订单不存在。"), kHtml);
    return;
  }
  res.set_content(pages::order_detail(o), kHtml);
}

void StandInMall::Impl::order_send(const httplib::Request& req, httplib::Response& res,
                                   const std::string& csrf) {
  auto reply = [&res, this](int status, bool ok, const std::string& message) {
    res.status = status;
    res.set_content(
        std::string("{\"status\":") + (ok ? "1" : "0") + ",\"message\":\"" + message + "\"}",
        "application/json; charset=UTF-8");
    if (fault.load() == Fault::LostShipmentAnswer) {  // the work is done, its answer lost
      res.status = 503;
      res.set_header("Retry-After", "0");
    }
  };
  if (!req.has_header("X-CSRF-Token") || req.get_header_value("X-CSRF-Token") != csrf) {
    return reply(400, false, "无法验证您的数据提交，请重新登录后再试");
  }
  std::map<std::string, std::string> form;
  for (const auto& [key, value] : parse_form(req.body)) form.emplace(key, value);
  const std::string id = form["order_id"], code = form["shipping_code"],
                    courier = form["shipping_express_name"], from = form["from_address_id"];
  wait_for_order(id);
  std::lock_guard lock(mutex);
  auto found = order_index.find(id);
  if (id.empty() || found == order_index.end()) return reply(200, false, "订单不存在");
  if (courier.empty()) return reply(200, false, "请选择快递公司");
  if (code.empty()) return reply(200, false, "快递单号不能为空");
  if (std::none_of(addresses.begin(), addresses.end(),
                   [&](const pages::Address& a) { return a.id == from; })) {
    return reply(200, false, "发货地址不存在");
  }
  Order& o = orders[found->second];
  if (o.state == 10) return reply(200, false, "订单尚未付款，不能发货");
  if (o.state != 20) return reply(200, false, "订单已发货，请勿重复操作");
  o.state = 30;
  o.tracking_no = code;
  o.courier = courier;
  reply(200, true, "操作成功");
}

void StandInMall::Impl::backoffice_route(const httplib::Request& req, httplib::Response& res) {
  record(req);
  if (apply_fault(res) || serve_override(req, res)) return;
  const std::string& path = req.path;
  const bool is_login = path == "/site/login";
  if (is_login && req.method == "GET") return login_page(req, res);
  if (is_login && req.method == "POST") {
    if (fault.load() == Fault::ExpiredSession)
      return login_page(req, res, "登录已过期，请重新登录。");
    return login_post(req, res);
  }
  const auto csrf = fault.load() == Fault::ExpiredSession ? std::nullopt : session_token(req);
  const bool known = path == "/" || path == "/site/index" || path == "/order/list" ||
                     path == "/order/edit" || path == "/order/send" ||
                     path == "/user-address/list" || path == "/withdraw-cash/add" ||
                     path == "/withdraw-cash/list";
  if (!known) {
    res.status = 404;
    return res.set_content(pages::not_found("页面不存在。"), kHtml);
  }
  if (!csrf) return redirect(res, "/site/login");
  if (req.method == "POST") {
    if (path == "/order/send") return order_send(req, res, *csrf);
    res.status = 405;
    return res.set_content(pages::not_found("不支持的请求方式。"), kHtml);
  }
  if (path == "/" || path == "/site/index") return res.set_content(dashboard_page(), kHtml);
  if (path == "/order/list") return res.set_content(order_list_page(req.target), kHtml);
  if (path == "/order/edit") return order_edit(req, res);
  std::lock_guard lock(mutex);
  if (path == "/user-address/list") return res.set_content(pages::addresses(addresses), kHtml);
  if (path == "/withdraw-cash/add") {
    return res.set_content(pages::withdraw_form(withdrawable), kHtml);
  }
  const auto query = parse_query(req.target);
  const auto state = query.find("state");
  if (state != query.end() && state->second == "1") {
    return res.set_content(pages::withdraw_list(paid, "已支付"), kHtml);
  }
  res.set_content(pages::withdraw_list(pending, "待审核"), kHtml);
}

}  // namespace mall
