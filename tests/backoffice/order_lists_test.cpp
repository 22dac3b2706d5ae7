// The four list fetches and the detail fetch against the stand-in back office.
#include <gtest/gtest.h>

#include <set>

#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "canned_pages.h"
#include "mall/pages.h"
#include "mall_fixture.h"

namespace {

using backoffice_tests::MallTest;
using web::gbk;
using web::Text;

constexpr auto kList = app::kOrderList;
constexpr int kColConsignee = 18;

// Columns 1..8 of a listed order as the back office shows them.
std::vector<Text> listed(const mall::Order& o) {
  return {gbk(o.order_no),
          gbk(o.member),
          gbk(o.store),
          gbk(o.total),
          gbk(o.paid),
          gbk(o.pay_time),
          gbk(mall::pages::state_name(o.state)),
          gbk(o.id)};
}

// Columns 9..21 of an order as its edit page shows them.
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

class OrderLists : public MallTest {
 protected:
  void SetUp() override {
    MallTest::SetUp();
    log_in();
    form.progress.clear();
    form.spoken.clear();
    m_mall.clear_requests();
  }

  void expect_table_lists(int state) {
    const auto orders = orders_in(state);
    const auto rows = form.rows(kList);
    ASSERT_EQ(rows.size(), orders.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i][app::kColSerial], std::to_string(i + 1));
      EXPECT_EQ(cells(rows[i], 1, 8), listed(orders[i])) << "row " << i;
      for (int c = app::kColGoods; c < app::kOrderColumnCount; ++c) EXPECT_EQ(rows[i][c], "");
    }
    EXPECT_TRUE(form.is_enabled("按钮6"));
  }
};

TEST_F(OrderLists, EachListFetchFillsTheTable) {
  struct Case {
    void (*fetch)(app::Context&);
    int state;
    std::string target;
    const char* first_message;
  };
  const Case cases[] = {
      {backoffice::fetch_unpaid_orders, 10, "/order/list?order_state=10",
       "正在获取未付款订单，请等待..."},
      {backoffice::fetch_orders_to_receive, 30, "/order/list?order_state=30",
       "正在获取待收货订单，请等待..."},
      {backoffice::fetch_all_orders, 0, "/order/list", "正在获取总订单，请等待..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    form.spoken.clear();
    form.progress.clear();
    m_mall.clear_requests();
    form.append_row(kList, {"stale"});
    c.fetch(ctx);
    expect_table_lists(c.state);
    const int n = static_cast<int>(orders_in(c.state).size());
    ASSERT_GT(n, 0);
    EXPECT_EQ(form.spoken,
              (std::vector<Text>{gbk(c.first_message),
                                 gbk("一共获取到") + std::to_string(n) + gbk("笔订单数据")}));
    ASSERT_EQ(m_mall.requests().size(), 1u);
    EXPECT_EQ(m_mall.requests()[0].target, c.target);
    if (c.state == 0) {
      ASSERT_GE(form.progress.size(), 2u);
      EXPECT_EQ(form.progress.front(), 1);
      EXPECT_EQ(form.progress.back(), 100);
      EXPECT_TRUE(std::is_sorted(form.progress.begin() + 1, form.progress.end()));
    } else {
      EXPECT_TRUE(form.progress.empty());
    }
  }
}

TEST_F(OrderLists, ToShipFetchIsSilent) {
  backoffice::fetch_orders_to_ship(ctx);
  expect_table_lists(20);
  EXPECT_TRUE(form.spoken.empty());
  EXPECT_TRUE(form.progress.empty());
  EXPECT_EQ(m_mall.requests().at(0).target, "/order/list?order_state=20");
}

TEST_F(OrderLists, EmptyPageGivesNoRowsAndTheCountZero) {
  m_mall.clear_orders();
  form.append_row(kList, {"stale"});
  backoffice::fetch_unpaid_orders(ctx);
  EXPECT_EQ(form.row_count(kList), 0);
  EXPECT_EQ(form.spoken.back(), gbk("一共获取到0笔订单数据"));
  EXPECT_TRUE(form.is_enabled("按钮6"));
  backoffice::fetch_all_orders(ctx);
  EXPECT_EQ(form.progress, std::vector<int>{1});
}

TEST_F(OrderLists, CellsKeepTheirMarkupByteForByte) {
  m_mall.override_page("/order/list?order_state=30",
                       backoffice_tests::canned_bytes("order_list.html"));
  backoffice::fetch_orders_to_receive(ctx);
  ASSERT_EQ(form.row_count(kList), 3);
  EXPECT_EQ(form.cell(kList, 1, app::kColMember), gbk("<b>李四</b>"));
  EXPECT_EQ(form.cell(kList, 1, app::kColState), gbk("<span class=\"label\">待发货</span>"));
  EXPECT_EQ(form.cell(kList, 2, app::kColMember), "wang&amp;wu");
  EXPECT_EQ(form.cell(kList, 2, app::kColId), "1003");
}

TEST_F(OrderLists, DetailsFillEveryRowInOrder) {
  backoffice::fetch_orders_to_ship(ctx);
  const auto orders = orders_in(20);
  ASSERT_GE(orders.size(), 2u);
  m_mall.clear_requests();
  backoffice::fetch_order_details(ctx);

  const auto requests = m_mall.requests();
  ASSERT_EQ(requests.size(), orders.size());
  for (size_t i = 0; i < orders.size(); ++i)
    EXPECT_EQ(requests[i].target, "/order/edit?id=" + orders[i].id);
  const auto rows = form.rows(kList);
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(cells(rows[i], app::kColGoods, 13), detailed(orders[i])) << "row " << i;
    EXPECT_EQ(cells(rows[i], 1, 8), listed(orders[i]));
    EXPECT_EQ(rows[i][22] + rows[i][23] + rows[i][24] + rows[i][25], "");
  }
  EXPECT_EQ(form.spoken, std::vector<Text>{gbk("正在获取订单详情，请等待...")});
  EXPECT_EQ(form.progress.front(), 2);
  EXPECT_EQ(form.progress.back(), 100);
}

TEST_F(OrderLists, DetailPageInAnotherLayoutLeavesItsRowAlone) {
  backoffice::fetch_orders_to_ship(ctx);
  const auto orders = orders_in(20);
  m_mall.override_page("/order/edit?id=" + orders[0].id, "<html><body>维护中</body></html>");
  form.set_cell(kList, 0, kColConsignee, "kept");
  backoffice::fetch_order_details(ctx);
  EXPECT_EQ(form.cell(kList, 0, app::kColGoods), "");
  EXPECT_EQ(form.cell(kList, 0, kColConsignee), "kept");
  EXPECT_EQ(cells(form.rows(kList)[1], app::kColGoods, 13), detailed(orders[1]));
}

TEST_F(OrderLists, DetailsOfAnEmptyTable) {
  backoffice::fetch_order_details(ctx);
  EXPECT_EQ(form.progress, std::vector<int>{2});
  EXPECT_EQ(form.spoken.size(), 1u);
  EXPECT_TRUE(m_mall.requests().empty());
}

TEST_F(OrderLists, OrderIdIsEncodedInTheDetailUrl) {
  form.append_row(kList, {"1", "x", "", "", "", "", "", "", "9&id=1 2"});
  backoffice::fetch_order_details(ctx);
  ASSERT_EQ(m_mall.requests().size(), 1u);
  EXPECT_EQ(m_mall.requests()[0].target, "/order/edit?id=9%26id%3D1%202");
}

// A form that deletes the first row of the order list while the first detail
// request is under way, as a merchant might.
class DeletingForm : public testing_support::FakeForm {
 public:
  void wait(const std::function<void()>& job) override {
    if (armed.exchange(false)) delete_row(app::kOrderList, 0);
    job();
  }
  std::atomic<bool> armed{false};
};

TEST_F(OrderLists, DetailsLandInTheirOwnRowsWhenRowsVanish) {
  DeletingForm deleting;
  app::Context other{.form = deleting, .settings = settings, .hosts = ctx.hosts};
  backoffice::fetch_orders_to_ship(other);
  const int n = deleting.row_count(kList);
  ASSERT_GE(n, 3);
  m_mall.clear_requests();
  deleting.armed = true;
  backoffice::fetch_order_details(other);
  EXPECT_EQ(deleting.row_count(kList), n - 1);
  // The run stopped when it ran out of rows: n - 1 requests at most.
  EXPECT_LE(static_cast<int>(m_mall.requests().size()), n - 1);
  int filled = 0;
  for (const auto& row : deleting.rows(kList)) {
    if (row[app::kColGoods].empty()) continue;
    ++filled;
    EXPECT_EQ(cells(row, app::kColGoods, 13), detailed(m_mall.order(row[app::kColId])));
  }
  EXPECT_GE(filled, n - 2);
}

}  // namespace
