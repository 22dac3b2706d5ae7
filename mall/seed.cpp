#include "mall/seed.h"

#include <array>
#include <cstdio>

namespace mall {
namespace {

constexpr std::array kMembers = {
    "张伟",
    "王芳",
    "李娜",
    "刘洋",
    "陈静",
    "杨帆",
    "赵磊",
    "黄晓明",
    "周婷",
    "吴刚",
    "徐丽",
    "孙浩",
    "马超",
    "朱琳",
    "胡军",
    "郭蓉",
    "何平",
    "高峰",
    "林小雨",
    "罗娟",
    "🍀小花",                               // a name outside GBK
    "<span class=\"vip\">VIP</span>郑洁",  // a cell holding markup
};

struct Goods {
  const char* name;
  const char* packaging;
  int cents;
};
constexpr std::array kGoods = {
    Goods{"蔚禾有机大米 5kg", "真空袋装", 6800}, Goods{"东北五常稻花香米", "礼盒装", 12800},
    Goods{"高山云雾绿茶 250g", "铁罐装", 8800},  Goods{"新疆阿克苏苹果 10斤", "纸箱装", 5990},
    Goods{"野生山核桃仁", "罐装", 4500},         Goods{"农家土蜂蜜 500g", "玻璃瓶装", 3900},
    Goods{"赣南脐橙 5斤", "纸箱装", 3580},       Goods{"手工红糖 400g", "袋装", 1990},
};

constexpr std::array kMessages = {
    "", "",         "请尽快发货，谢谢！",     "100%好评", "不要放快递柜，送货上门",
    "", "周末送货", "发顺丰可以吗？差价我补", "",
};
constexpr std::array kPayMethods = {"微信支付", "支付宝", "余额支付"};
constexpr std::array kPickup = {"快递配送", "门店自提"};
constexpr std::array kCities = {
    "广东省深圳市南山区科技园南路18号",   "北京市朝阳区建国路88号SOHO现代城3号楼1205",
    "上海市浦东新区张江路368弄12号",      "浙江省杭州市西湖区文三路259号",
    "四川省成都市武侯区人民南路四段27号", "湖北省武汉市洪山区珞喻路1037号",
};
constexpr std::array kCouriers = {"huitong", "yuantong", "zhongtong", "shunfeng", "yunda"};

}  // namespace

std::string Seeder::money(int cents) const {
  char buffer[32];
  // Amounts carry the yen/yuan sign U+00A5, which GBK cannot hold.
  std::snprintf(buffer, sizeof buffer, "\u00A5%d.%02d", cents / 100, cents % 100);
  return buffer;
}

Order Seeder::order(int id, int state, const std::string& store) {
  Order o;
  o.id = std::to_string(id);
  const int day = 1 + static_cast<int>(next(28));
  const int hour = static_cast<int>(next(24)), minute = static_cast<int>(next(60)),
            second = static_cast<int>(next(60));
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "201701%02d%02d%02d%02d%04d", day, hour, minute, second,
                id % 10000);
  o.order_no = buffer;
  o.member = kMembers[next(kMembers.size())];
  o.store = store;
  const Goods& g = kGoods[next(kGoods.size())];
  const int quantity = 1 + static_cast<int>(next(3));
  const int shipping = next(2) ? 0 : 1000;
  o.goods = g.name;
  o.quantity = std::to_string(quantity);
  o.packaging = g.packaging;
  o.unit_price = money(g.cents);
  o.line_total = money(g.cents * quantity);
  int goods_cents = g.cents * quantity;
  // More goods rows, without further random draws: the goods after this one.
  const std::size_t more = id % 7 == 0 ? 4 : id % 3 == 0 ? 1 : 0;
  for (std::size_t k = 1; k <= more; ++k) {
    const Goods& next_goods = kGoods[(&g - kGoods.data() + k) % kGoods.size()];
    const int count = static_cast<int>(k % 2) + 1;
    o.more_goods.push_back({next_goods.name, std::to_string(count), next_goods.packaging,
                            money(next_goods.cents), money(next_goods.cents * count)});
    goods_cents += next_goods.cents * count;
  }
  o.total = money(goods_cents + shipping);
  o.paid = o.total;
  o.state = state;
  if (state != 10) {
    std::snprintf(buffer, sizeof buffer, "2017-01-%02d %02d:%02d:%02d", day, hour, minute, second);
    o.pay_time = buffer;
    o.pay_method = kPayMethods[next(kPayMethods.size())];
  } else {
    o.paid = money(0);
    o.pay_method = "未支付";
  }
  o.pickup_method = kPickup[next(5) == 0 ? 1 : 0];
  o.message = kMessages[next(kMessages.size())];
  o.consignee = kMembers[next(20)];  // consignees are plain names
  std::snprintf(buffer, sizeof buffer, "1%02u%04u%04u", 30 + next(60), next(10000), next(10000));
  o.phone = buffer;
  o.address = kCities[next(kCities.size())];
  if (state == 30 || state == 40) {
    o.courier = kCouriers[next(kCouriers.size())];
    std::snprintf(buffer, sizeof buffer, "70%05u%06u", next(100000), next(1000000));
    o.tracking_no = buffer;
  }
  return o;
}

int Seeder::seeded_state(int i) {
  constexpr std::array kStates = {20, 10, 20, 30, 40, 20, 10, 30, 20, 40, 20, 30};
  return kStates[static_cast<std::size_t>(i) % kStates.size()];
}

std::vector<pages::Address> Seeder::addresses() {
  return {
      {"17", "蔚禾仓储中心", "0755-86001234", "广东省深圳市宝安区福永街道蔚禾物流园3号仓"},
      {"23", "李店长", "13800138000", "广东省深圳市南山区科技园南路18号"},
      {"31", "王仓管", "13912345678", "浙江省义乌市国际商贸城二区"},
  };
}

std::vector<Withdrawal> Seeder::paid_withdrawals() {
  return {
      {"12", "1000.00", "2016-12-05 10:21:33", "财务-李静"},
      {"15", "2500.00", "2016-12-19 16:02:08", "财务-李静"},
      {"19", "800.00", "2017-01-03 09:45:51", "财务-周明"},
  };
}

std::vector<Withdrawal> Seeder::pending_withdrawals() {
  return {{"21", "600.00", "2017-01-04 11:30:00", ""}};
}

}  // namespace mall
