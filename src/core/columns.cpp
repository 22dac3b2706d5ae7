#include "core/columns.h"

namespace app {

namespace {

constexpr ListColumn kOrderColumns[] = {
    {"序号", 50, "serial"},         {"订单号", 50, "order_no"},
    {"会员", 50, "member"},         {"店铺", 0, "store"},
    {"订单总额", 50, "total"},      {"支付金额", 50, "paid"},
    {"支付时间", 50, "pay_time"},   {"状态", 50, "state"},
    {"ID", 50, "id"},               {"商品", 50, "goods"},
    {"数量", 50, "quantity"},       {"规格", 50, "variant"},
    {"单价", 50, "unit_price"},     {"总价", 0, "line_total"},
    {"支付金额", 50, "pay_amount"}, {"支付方式", 50, "pay_method"},
    {"取件方式", 50, "pickup"},     {"留言", 50, "message"},
    {"收货人", 50, "consignee"},    {"电话", 50, "phone"},
    {"地址", 50, "address"},        {"快递单号", 50, "tracking_no"},
    {"物流信息", 50, "tracking_info"}, {"发货状态", 50, "ship_status"},
    {"备用", 50, "spare"},          {"", 50, "extra"},
};

constexpr ListColumn kWithdrawalColumns[] = {
    {"序号", 50, "serial"},
    {"编号", 50, "number"},
    {"回购金额", 100, "amount"},
    {"提交时间", 180, "time"},
    {"操作人员", 100, "operator"},
    // 操作 stays empty (a paid withdrawal offers nothing to do): hidden, like
    // the order list's width-0 columns, its cells kept for scripts and exports.
    {"操作", 0, "action"},
};

static_assert(std::size(kOrderColumns) == 26);

}  // namespace

std::span<const ListColumn> order_columns() {
  return kOrderColumns;
}
std::span<const ListColumn> withdrawal_columns() {
  return kWithdrawalColumns;
}

}  // namespace app
