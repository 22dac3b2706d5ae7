#pragma once
// Parcel tracking: asks the courier-tracking service about the selected
// order's parcel and stores the answer in that order's 物流信息 column.
//
// Usage: fulfilment::query_tracking(ctx);   // 查询当前订单物流, UI thread

#include "app/core/context.h"
#include "web/text.h"

namespace fulfilment {

// "http://" + host + "/api?id=..&com=..&nu=..&valicode=&show=3&muti=1&order=desc",
// the three values percent-encoded as UTF-8.
web::Text tracking_url(const web::Text& host, const web::Text& key, const web::Text& courier,
                       const web::Text& tracking_no);

// Saves the service key (编辑框7) and courier code (编辑框8), queries the
// service for the selected row's tracking number, writes the reply to that
// row's column 22 and shows it when 选择框1 is checked.
void query_tracking(app::Context& ctx);

}  // namespace fulfilment
