// The four list fetches and the detail fetch against the stand-in back office.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "canned_pages.h"
#include "core/archive_keeping.h"
#include "store/order_archive.h"

#include "mall/pages.h"
#include "mall_fixture.h"

namespace {

using web::gbk;
using web::Text;

constexpr auto kList = app::kOrderList;

// Columns 序号..ID of a listed order, and 商品..快递单号 of its edit page.
std::vector<Text> listed(const mall::Order& o, size_t serial) {
  return {std::to_string(serial),
          gbk(o.order_no),
          gbk(o.member),
          gbk(o.store),
          gbk(o.total),
          gbk(o.paid),
          gbk(o.pay_time),
          gbk(mall::pages::state_name(o.state)),
          gbk(o.id)};
}
std::vector<Text> detailed(const mall::Order& o) {
  return {gbk(o.goods),
          gbk(o.quantity),
          gbk(o.packaging),
          gbk(o.unit_price),
          gbk(o.line_total),
          gbk(o.paid),
          gbk(o.pay_method),
          gbk(o.pickup_method),
          gbk(o.message),
          gbk(o.consignee),
          gbk(o.phone),
          gbk(o.address),
          gbk(mall::pages::escape(o.tracking_no))};
}
std::vector<Text> cells(const app::OrderRow& row, int first, int count) {
  return {row.begin() + first, row.begin() + first + count};
}

class OrderLists : public backoffice_tests::MallTest {
 protected:
  void SetUp() override {
    MallTest::SetUp();
    sign_in();
    mall.clear_requests();
  }
};

TEST_F(OrderLists, EachListFetchFillsTheTable) {
  struct Case {
    void (*fetch)(app::Context&);
    int state;
    std::string target;
    const char* first_message;  // nullptr: the fetch says nothing
  };
  const Case cases[] = {
      {backoffice::fetch_unpaid_orders, 10, "/order/list?order_state=10",
       "正在获取未付款订单，请等待..."},
      {backoffice::fetch_orders_to_ship, 20, "/order/list?order_state=20", nullptr},
      {backoffice::fetch_orders_to_receive, 30, "/order/list?order_state=30",
       "正在获取待收货订单，请等待..."},
      {backoffice::fetch_all_orders, 0, "/order/list", "正在获取总订单，请等待..."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    form.spoken.clear();
    form.progress.clear();
    mall.clear_requests();
    form.append_row(kList, {"stale"});
    c.fetch(ctx);

    const auto orders = orders_in(c.state);
    const auto rows = form.rows(kList);
    ASSERT_EQ(rows.size(), orders.size());
    ASSERT_FALSE(rows.empty());
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(cells(rows[i], 0, 9), listed(orders[i], i + 1));
      EXPECT_EQ(rows[i][app::kColGoods], "");
    }
    EXPECT_TRUE(form.is_enabled("按钮6"));
    ASSERT_EQ(mall.requests().size(), 1u);
    EXPECT_EQ(mall.requests()[0].target, c.target);
    if (c.first_message)
      EXPECT_EQ(form.spoken, (std::vector<Text>{gbk(c.first_message),
                                                gbk("一共获取到") + std::to_string(orders.size()) +
                                                    gbk("笔订单数据")}));
    else
      EXPECT_TRUE(form.spoken.empty());
    if (c.state == 0) {
      EXPECT_EQ(form.progress.front(), 1);
      EXPECT_EQ(form.progress.back(), 100);
    } else {
      EXPECT_TRUE(form.progress.empty());
    }
  }
}

TEST_F(OrderLists, EmptyPagesAndEmptyTables) {
  mall.clear_orders();
  form.append_row(kList, {"stale"});
  backoffice::fetch_unpaid_orders(ctx);
  EXPECT_EQ(form.row_count(kList), 0);
  EXPECT_EQ(form.spoken.back(), gbk("一共获取到0笔订单数据"));
  EXPECT_TRUE(form.is_enabled("按钮6"));
  form.progress.clear();
  backoffice::fetch_order_details(ctx);
  EXPECT_EQ(form.progress, std::vector<int>{2});
  EXPECT_EQ(form.spoken.back(), gbk("正在获取订单详情，请等待..."));
  EXPECT_EQ(mall.requests().size(), 1u);
}

TEST_F(OrderLists, AllOrdersOnTheWindowThreadGiveUpOnABusyTable) {
  form.append_row(kList, {"imported"});
  app::TableLock::set_ui_patience(std::chrono::milliseconds(20));
  ASSERT_TRUE(ctx.table->lock.try_acquire());  // a batch is shipping
  backoffice::fetch_all_orders(ctx);
  ctx.table->lock.release();
  app::TableLock::set_ui_patience(std::chrono::milliseconds(3000));
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_NE(form.messages[0].text.find(gbk("请稍后再试")), std::string::npos);
  EXPECT_EQ(form.cell(kList, 0, 0), "imported");
  EXPECT_EQ(form.row_count(kList), 1);
  EXPECT_TRUE(mall.requests().empty());
  // Once the table is free, the same click lists the orders.
  backoffice::fetch_all_orders(ctx);
  EXPECT_GT(form.row_count(kList), 1);
}

TEST_F(OrderLists, CellsKeepTheirMarkupByteForByte) {
  mall.override_page("/order/list?order_state=30",
                     backoffice_tests::canned_bytes("order_list.html"));
  backoffice::fetch_orders_to_receive(ctx);
  ASSERT_EQ(form.row_count(kList), 3);
  EXPECT_EQ(form.cell(kList, 1, app::kColMember), gbk("<b>李四</b>"));
  EXPECT_EQ(form.cell(kList, 1, app::kColState), gbk("<span class=\"label\">待发货</span>"));
  EXPECT_EQ(form.cell(kList, 2, app::kColMember), "wang&amp;wu");
  EXPECT_EQ(form.cell(kList, 2, app::kColId), "1003");
}

TEST_F(OrderLists, DetailsFillEveryRowInOrder) {
  // One connection: the pages are asked for one after another, in row order.
  settings.write_setting(gbk("connections"), "1", gbk("network"));
  backoffice::fetch_orders_to_ship(ctx);
  const auto orders = orders_in(20);
  ASSERT_GE(orders.size(), 2u);
  // The first order's page is in another layout: its row keeps what it had.
  mall.override_page("/order/edit?id=" + orders[0].id, "<html><body>维护中</body></html>");
  form.set_cell(kList, 0, 18, "kept");
  mall.clear_requests();
  backoffice::fetch_order_details(ctx);

  const auto requests = mall.requests();
  ASSERT_EQ(requests.size(), orders.size());
  const auto rows = form.rows(kList);
  for (size_t i = 0; i < orders.size(); ++i) {
    EXPECT_EQ(requests[i].target, "/order/edit?id=" + orders[i].id);
    EXPECT_EQ(cells(rows[i], 0, 9), listed(orders[i], i + 1));
    if (i > 0) {
      EXPECT_EQ(cells(rows[i], app::kColGoods, 13), detailed(orders[i])) << i;
    }
  }
  EXPECT_EQ(rows[0][app::kColGoods], "");
  EXPECT_EQ(rows[0][18], "kept");
  EXPECT_EQ(form.progress.front(), 2);
  EXPECT_EQ(form.progress.back(), 100);

  // An id from an imported workbook cannot smuggle a second query value in.
  form.clear_rows(kList);
  form.append_row(kList, {"1", "x", "", "", "", "", "", "", "9&id=1 2"});
  mall.clear_requests();
  backoffice::fetch_order_details(ctx);
  EXPECT_EQ(mall.requests().at(0).target, "/order/edit?id=9%26id%3D1%202");
}

// Deletes rows as a merchant might while the details come in: on the first
// detail written, a row whose page is still being asked for and the two last
// rows, whose pages have not been asked for yet.
class DeletingForm : public testing_support::FakeForm {
 public:
  bool set_cells_by_key(std::string_view list, app::RowKey key, int first_column,
                        const std::vector<Text>& texts) override {
    if (armed.exchange(false)) {
      deleted_ids = {cell(list, 0, app::kColId), cell(list, row_count(list) - 1, app::kColId),
                     cell(list, row_count(list) - 2, app::kColId)};
      delete_row(list, row_count(list) - 1);
      delete_row(list, row_count(list) - 1);
      delete_row(list, 0);
    }
    return FakeForm::set_cells_by_key(list, key, first_column, texts);
  }
  std::atomic<bool> armed{false};
  std::vector<Text> deleted_ids;
};

TEST_F(OrderLists, DetailsComeInParallelAndLandInTheirOwnRows) {
  DeletingForm deleting;
  app::Context other{.form = deleting, .settings = settings, .hosts = ctx.hosts};
  backoffice::fetch_orders_to_ship(other);
  const int n = deleting.row_count(kList);
  ASSERT_GE(n, 8);
  // The first page answers last, the second after the third: out of order.
  mall.set_order_delay(deleting.cell(kList, 0, app::kColId), std::chrono::milliseconds(300));
  mall.set_order_delay(deleting.cell(kList, 1, app::kColId), std::chrono::milliseconds(100));
  mall.clear_requests();
  deleting.armed = true;
  backoffice::fetch_order_details(other);

  std::set<std::string> asked;
  for (const auto& r : mall.requests()) asked.insert(r.target);
  EXPECT_EQ(static_cast<int>(asked.size()), n - 2);  // the two last rows were never asked for
  for (std::size_t i = 1; i < deleting.deleted_ids.size(); ++i)
    EXPECT_EQ(asked.count("/order/edit?id=" + deleting.deleted_ids[i]), 0u);
  ASSERT_EQ(deleting.row_count(kList), n - 3);
  for (const auto& row : deleting.rows(kList))
    EXPECT_EQ(cells(row, app::kColGoods, 13), detailed(mall.order(row[app::kColId])))
        << row[app::kColId];
  EXPECT_EQ(deleting.progress.back(), 100);
}

TEST_F(OrderLists, DetailsAskedTooFastAreAskedAgainOneAtATime) {
  backoffice::fetch_orders_to_ship(ctx);
  const int n = form.row_count(kList);
  mall.set_latency(std::chrono::milliseconds(40));
  mall.set_max_concurrent(2, 0);  // Retry-After: 0, the shortest wait
  backoffice::fetch_order_details(ctx);
  mall.set_max_concurrent(0);
  EXPECT_GT(mall.rejected_requests(), 0);
  for (int r = 0; r < n; ++r)
    EXPECT_EQ(cells(form.rows(kList)[r], app::kColGoods, 13),
              detailed(mall.order(form.cell(kList, r, app::kColId))))
        << r;
}

}  // namespace

TEST_F(OrderLists, ListsAndDetailsGoIntoTheArchiveAndAnUnwritableOneStopsNothing) {
  store::Database db(dir / "weihe-orders.db");
  store::OrderArchive archive(db);
  ctx.archive = &archive;
  backoffice::fetch_orders_to_ship(ctx);
  backoffice::fetch_order_details(ctx);
  std::string error;
  const auto found = archive.search({}, &error);
  ASSERT_EQ(found.size(), static_cast<std::size_t>(form.row_count(kList)));
  const std::string shop = app::shop_of(ctx);
  for (const mall::Order& o : mall.orders()) {
    if (o.state != 20) continue;
    const auto kept = archive.find(shop, o.id);
    ASSERT_TRUE(kept) << o.id;
    EXPECT_EQ(kept->cells[18], o.consignee);
    EXPECT_EQ(kept->items.size(), o.more_goods.size() + 1);
    EXPECT_EQ(ctx.goods_lines.of(gbk(o.id)).size(), o.more_goods.size() + 1);
  }

  // A file that is no database: the lists fill as always, and it is said once.
  std::filesystem::path bad = dir / "not-a-database.db";
  { std::ofstream(bad) << "not a database, just text"; }
  store::Database broken(bad);
  store::OrderArchive unwritable(broken);
  ctx.archive = &unwritable;
  backoffice::fetch_orders_to_ship(ctx);
  backoffice::fetch_all_orders(ctx);
  EXPECT_EQ(form.row_count(kList), static_cast<int>(mall.orders().size()));
  const Text log = form.log;
  const Text said = gbk("订单存档没有保存");
  const int first = web::find_text(log, said);
  EXPECT_GT(first, 0);
  EXPECT_EQ(web::find_text(log, said, first + 1), -1);
}
