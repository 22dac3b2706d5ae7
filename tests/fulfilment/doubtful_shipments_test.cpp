// Shipments whose outcome is in doubt are settled by the order's page:
// a shipment taken but answered 503 is shipped, not failed; one that got no
// answer stays unknown until its page says what became of it.
#include <gtest/gtest.h>

#include "core/archive_keeping.h"
#include "backoffice/session.h"
#include "fulfilment/doubtful_shipments.h"
#include "fulfilment/shipping.h"
#include "mall_test.h"
#include "store/database.h"
#include "store/shipping_journal.h"

namespace {

using web::gbk;
using web::Text;

class DoubtfulShipments : public fulfilment_tests::MallTest {
 protected:
  DoubtfulShipments() {
    ctx.database = &db;
    backoffice::install_session_hooks(ctx);
    form.set_text("编辑框12", "huitong");
    form.set_text("编辑框13", gbk(mall.sender_address_id()));
  }
  std::vector<std::string> waiting(std::size_t n) {
    std::vector<std::string> ids;
    for (const auto& o : mall.orders())
      if (o.state == 20 && ids.size() < n) ids.push_back(o.id);
    return ids;
  }
  std::map<std::string, std::string> outcomes() {
    std::map<std::string, std::string> by_id;
    for (const auto& e : store::ShippingJournal(db, app::shop_of(ctx)).entries()) by_id[e.order_id] = e.outcome;
    return by_id;
  }
  store::Database db{store::Database::beside(settings.path())};
};

TEST_F(DoubtfulShipments, TakenButAnswered503IsShippedNotFailed) {
  sign_in();
  const auto ids = waiting(2);
  ASSERT_EQ(ids.size(), 2u);
  add_row(ids[0], "557012345670");
  add_row(ids[1], "557012345671");
  mall.set_fault(mall::Fault::LostShipmentAnswer);
  fulfilment::ship_all_orders(ctx);
  mall.set_fault(mall::Fault::None);
  for (int r = 0; r < 2; ++r) {
    EXPECT_EQ(form.cell(app::kOrderList, r, app::kColShipStatus), gbk("发货成功")) << r;
    EXPECT_EQ(mall.order(ids[r]).state, 30);
    EXPECT_EQ(outcomes()[ids[r]], "shipped");
  }
}

TEST_F(DoubtfulShipments, NoAnswerStaysUnknownUntilThePageSettlesIt) {
  sign_in();
  const auto ids = waiting(3);
  ASSERT_EQ(ids.size(), 3u);
  add_row(ids[0]);
  form.select_row(app::kOrderList, 0);
  form.set_text("编辑框14", "557012345670");
  mall.set_fault(mall::Fault::Drop);
  fulfilment::ship_selected_order(ctx);
  mall.set_fault(mall::Fault::None);
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColShipStatus), gbk("发货不明"));
  EXPECT_EQ(outcomes()[ids[0]], "unknown");

  // Two more unknown entries: one whose order did ship with our number
  // (its answer was lost), one whose page shows another number.
  store::ShippingJournal journal(db, app::shop_of(ctx));
  std::string error;
  for (int i : {1, 2}) {
    store::Shipment s;
    s.order_id = ids[i];
    s.tracking_no = "55701234567" + std::to_string(i);
    ASSERT_TRUE(journal.begin(s, &error)) << error;
  }
  ASSERT_TRUE(fulfilment::send_shipment(ctx, "huitong", "557012345671", gbk(mall.sender_address_id()),
                                        ids[1]).shipped);
  ASSERT_TRUE(fulfilment::send_shipment(ctx, "huitong", "559999999999", gbk(mall.sender_address_id()),
                                        ids[2]).shipped);

  const auto settled = fulfilment::settle_unknown_shipments(ctx);
  ASSERT_EQ(settled.size(), 3u);
  EXPECT_EQ(outcomes()[ids[0]], "failed");  // the order still waits: it may be sent again
  EXPECT_EQ(outcomes()[ids[1]], "shipped");
  EXPECT_EQ(outcomes()[ids[2]], "unknown");
  EXPECT_NE(settled[2].message.find("559999999999"), std::string::npos) << settled[2].message;
  EXPECT_TRUE(fulfilment::settle_unknown_shipments(ctx).size() == 1u);  // only the one in doubt
}

}  // namespace
