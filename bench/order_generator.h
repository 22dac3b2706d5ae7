#pragma once
// Realistic archived orders for benchmarks: Chinese names, addresses and
// goods, one to five goods lines, and as a shop's history holds them: ids
// and pay times rising together (about one order a minute from 2025 on, so
// a million orders span two years), most of them long completed. The same
// id always gets the same time. Deterministic for a seed.
//
// Usage: OrderGenerator gen(7);  auto page = gen.page(5000);

#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>

#include "store/order_archive.h"

class OrderGenerator {
 public:
  explicit OrderGenerator(unsigned seed) : m_rng(seed) {}

  // `n` readings of orders with ids next_id, next_id + 1, ...
  std::vector<store::OrderReading> page(int n) {
    std::vector<store::OrderReading> rows;
    rows.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) rows.push_back(order(m_next_id++));
    return rows;
  }
  void restart_ids(long long id) { m_next_id = id; }

 private:
  template <std::size_t N>
  const char* pick(const char* const (&list)[N]) {
    return list[std::uniform_int_distribution<std::size_t>(0, N - 1)(m_rng)];
  }
  int number(int least, int most) { return std::uniform_int_distribution<int>(least, most)(m_rng); }

  store::OrderReading order(long long id) {
    static const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周",
                                            "徐", "孙", "马", "朱", "胡", "郭", "何", "高", "林", "罗"};
    static const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋",
                                         "勇", "艳", "杰", "娟", "涛", "明", "超", "秀英", "霞", "平"};
    static const char* const kCities[] = {"北京市朝阳区", "上海市浦东新区", "广州市天河区", "深圳市南山区",
                                          "杭州市西湖区", "成都市武侯区",   "武汉市洪山区", "南京市鼓楼区",
                                          "西安市雁塔区", "重庆市渝中区"};
    static const char* const kRoads[] = {"建设路", "人民路", "解放路", "中山路", "和平路", "新华街", "长江路", "文化路"};
    static const char* const kGoods[] = {"东北五常稻花香米", "高山云雾绿茶 250g", "新疆阿克苏苹果 10斤", "宁夏中宁枸杞",
                                         "云南普洱茶饼 357g", "西湖龙井茶", "赣南脐橙 5kg", "内蒙古风干牛肉干",
                                         "手工红糖 400g", "野生山核桃仁", "东北黑木耳 250g", "新疆和田大枣"};
    static const char* const kVariants[] = {"礼盒装", "袋装", "铁罐装", "纸箱装", "真空袋装", "散装"};
    static const char* const kMessages[] = {"", "", "", "请尽快发货，谢谢！", "不要放快递柜，送货上门", "周末送货"};
    static const char* const kStates[] = {"待发货", "待收货", "已完成", "已完成", "已完成", "待付款"};
    std::vector<std::string> c(26);
    char buffer[96];
    // 2025-01-01 plus about a minute per order (time_t arithmetic, UTC).
    const std::time_t paid_at = 1735689600 + static_cast<std::time_t>(id) * 63 + number(0, 59);
    std::tm t{};
    gmtime_r(&paid_at, &t);
    std::strftime(buffer, 40, "%Y-%m-%d %H:%M:%S", &t);
    const std::string state = pick(kStates);
    const bool paid = state != "待付款";
    std::snprintf(buffer + 40, 40, "%04d%02d%02d%08lld", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, id);
    c[1] = buffer + 40;
    c[2] = std::string(pick(kSurnames)) + pick(kGiven);
    c[3] = "蔚禾优选旗舰店";
    const int cents = number(990, 99900);
    std::snprintf(buffer + 60, 30, "¥%d.%02d", cents / 100, cents % 100);
    c[4] = c[5] = buffer + 60;
    c[6] = paid ? std::string(buffer, 19) : std::string();
    c[7] = state;
    c[8] = std::to_string(id);
    std::vector<store::GoodsLine> lines;
    for (int k = number(1, 5); k > 0; --k)
      lines.push_back({pick(kGoods), std::to_string(number(1, 4)), pick(kVariants), "¥68.00", "¥136.00"});
    // 商品 to 总价: the first line, as the detail fetch fills them.
    c[9] = lines[0].goods;
    c[10] = lines[0].quantity;
    c[11] = lines[0].variant;
    c[12] = lines[0].unit_price;
    c[13] = lines[0].line_total;
    c[14] = c[5];
    c[15] = "微信支付";
    c[16] = "快递配送";
    c[17] = pick(kMessages);
    c[18] = std::string(pick(kSurnames)) + pick(kGiven);
    std::snprintf(buffer, sizeof buffer, "1%d%09d", number(3, 9), number(0, 999999999));
    c[19] = buffer;
    c[20] = std::string(pick(kCities)) + pick(kRoads) + std::to_string(number(1, 999)) + "号" +
            std::to_string(number(1, 30)) + "栋" + std::to_string(number(101, 2505)) + "室";
    if (state == "待收货" || state == "已完成") {
      std::snprintf(buffer, sizeof buffer, "SF%012d", number(0, 999999999));
      c[21] = buffer;
    }
    return {std::move(c), std::move(lines)};
  }

  std::mt19937 m_rng;
  long long m_next_id = 1;
};

// The shop the benchmarks' archive belongs to.
inline const std::string kBenchShop = "demo@127.0.0.1:18080";

inline std::int64_t count_orders(store::Database& db) {
  std::int64_t n = 0;
  std::string ignored;
  db.run(
      [&](store::Database::Connection& c, std::string*) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(c.db, "SELECT count(*) FROM archived_orders", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
          n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return true;
      },
      &ignored);
  return n;
}

// Fills the archive at `file` up to `orders` generated orders of `shop`
// (what it already holds is kept, so it is built once); false, said, on failure.
inline bool build_archive(const std::filesystem::path& file, long long orders, const std::string& shop) {
  constexpr int kPage = 5000;
  OrderGenerator generator(20261209);
  store::Database db(file);
  if (!db.ok()) {
    std::fprintf(stderr, "%s\n", db.error().c_str());
    return false;
  }
  store::OrderArchive archive(db);
  const std::int64_t have = count_orders(db);
  generator.restart_ids(have + 1);
  std::string error;
  for (long long n = have; n < orders; n += kPage) {
    if (!archive.record(shop, generator.page(static_cast<int>(std::min<long long>(kPage, orders - n))),
                        store::OrderArchive::Source::List, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return false;
    }
    if (n % 100000 == 0) std::fprintf(stderr, "built %lld orders\n", n);
  }
  return true;
}
