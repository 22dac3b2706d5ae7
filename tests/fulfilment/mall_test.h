#pragma once
// The shared stand-in mall fixture, plus what the shipping and tracking tests
// add to it: order rows to work on and the headers the mall recorded.
//
// Usage: class ShippingTest : public fulfilment_tests::MallTest {};
//        TEST_F(ShippingTest, X) { sign_in(); add_row("678"); ... }

#include <string>

#include "support/mall_login.h"

namespace fulfilment_tests {

// A request header's value by case-insensitive name; "<absent>" when missing.
inline std::string header(const mall::RecordedRequest& request, const std::string& name) {
  for (auto& [key, value] : request.headers)
    if (web::to_lower(key) == web::to_lower(name)) return value;
  return "<absent>";
}

class MallTest : public testing_support::MallFixture {
 protected:
  // Appends an order row with the given back-office id and tracking number.
  int add_row(const web::Text& id, const web::Text& tracking = {}) {
    app::OrderRow row(app::kOrderColumnCount);
    row[app::kColId] = id;
    row[app::kColTrackingNo] = tracking;
    return form.append_row(app::kOrderList, row);
  }
};

}  // namespace fulfilment_tests
