#include "app/wiring/other_stations.h"

#include <QObject>

#include "app/wiring/served_shops.h"
#include "core/archive_keeping.h"
#include "core/store_location.h"
#include "fulfilment/shipping.h"
#include "web/text.h"

namespace app {

std::unique_ptr<store::StationEvents> show_other_stations(QObject* window, Form& form, const Settings& settings,
                                                          const store::Database& database, ServedShops& shops) {
  const auto shared = shared_store(settings);
  if (!shared) return nullptr;
  const std::string own = database.station();
  auto show = [&form, &shops, own](const store::StationEvent& e) {
    if (e.kind != "shipped" || e.station == own) return;
    // Only a shop this window serves; the same id in another shop is another order.
    if (shop_of(shops.context()) != e.shop && !shops.all_chosen()) return;
    const Text status = web::utf8_to_gbk("已由" + e.station + "发货");
    for (int row : form.rows_where(kOrderList, kColId, web::utf8_to_gbk(e.order_id))) {
      if (!e.detail.empty()) form.set_cell(kOrderList, row, kColTrackingNo, web::utf8_to_gbk(e.detail));
      fulfilment::show_outcome(form, form.row_key(kOrderList, row), status, true);
    }
  };
  // The listener's thread never waits for the window: each event is queued
  // to the window's thread, and dropped with the window.
  return std::make_unique<store::StationEvents>(
      shared->url, shared->password, [window, show](const store::StationEvent& e) {
        QMetaObject::invokeMethod(window, [show, e] { show(e); }, Qt::QueuedConnection);
      });
}

}  // namespace app
