// Start-up and exit of the order manager: the program-wide objects first, then
// the window filled from the settings file beside the program, the event loop,
// and an orderly end even while workers still run.
#include <QApplication>
#include <QTabWidget>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/store_location.h"
#include "core/context.h"
#include "app/gui/dialogs.h"
#include "app/gui/main_window.h"
#include "app/gui/settings_dialog.h"
#include "app/wiring/shop_check.h"
#include "desktop/keyring.h"
#include "app/wiring/operations.h"
#include "app/wiring/other_stations.h"
#include "app/wiring/served_shops.h"
#include "core/settings.h"
#include "core/speech.h"
#include "core/startup.h"
#include "fulfilment/courier_codes.h"
#include "fulfilment/doubtful_shipments.h"
#include "fulfilment/shipping.h"
#include "fulfilment/tracking.h"
#include "core/archive_keeping.h"
#include "store/database.h"
#include "store/order_archive.h"

namespace {

// For the start-up benchmark and screenshots: WEIHE_SCREENSHOT=<file.png> saves
// the shown window there (WEIHE_SCREENSHOT_PAGE=<n> picks the tab page first);
// WEIHE_QUIT_AFTER_SHOWN=1 ends the program once shown.
void schedule_automation(app::MainWindow& window) {
  const QString shot = qEnvironmentVariable("WEIHE_SCREENSHOT");
  const bool quit = qEnvironmentVariableIntValue("WEIHE_QUIT_AFTER_SHOWN") != 0;
  if (shot.isEmpty() && !quit) return;
  QTimer::singleShot(shot.isEmpty() ? 0 : 300, &window, [&window, shot, quit] {
    if (!shot.isEmpty()) {
      bool paged = false;
      const int page = qEnvironmentVariableIntValue("WEIHE_SCREENSHOT_PAGE", &paged);
      if (auto* tabs = window.findChild<QTabWidget*>(QString::fromUtf8("选择夹1")); tabs && paged)
        tabs->setCurrentIndex(page);
      window.grab().save(shot);
    }
    std::printf("window shown\n");
    std::fflush(stdout);
    if (quit) window.close();
  });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  app::install_qt_translations();

  // Program-wide objects, before the window: the speech voice (it loads in the background).
  auto voice = std::make_unique<app::Speech>();
  app::Settings settings(app::Settings::default_path());

  // The window's creation fills the four boxes from the settings file.
  auto* window = new app::MainWindow(settings, voice.get());
  window->set_courier_codes(fulfilment::courier_code_list());
  // 物流信息 keeps the service's answer as it came; the list shows its gist.
  window->set_cell_summary(app::kOrderList, app::kColTrackingInfo, fulfilment::tracking_cell_summary);
  // The shipping journal and what else outlives the process, beside the settings.
  // Where the desktop has a keyring, the passwords go there, not into the file.
  desktop::Keyring keyring;
  if (keyring.available()) settings.set_password_keeper(&keyring);
  // Beside the settings, or the store the packing stations share.
  const std::unique_ptr<store::Database> shared_or_own = app::open_store(settings);
  store::Database& database = *shared_or_own;
  store::OrderArchive archive(database);
  // Every shop of the settings file, each in its own session; the window
  // serves the one chosen when it last ran (else the first) until the
  // merchant chooses another (or all of them).
  app::ServedShops shops(*window, settings, &database, &archive);
  // With a shared store, what the other packing stations ship shows here too.
  const auto listening = app::show_other_stations(window, *window, settings, database, shops);
  window->set_database(&database);
  window->set_history_context(&shops.context(), shops.all_chosen());  // the shop chosen last time
  window->set_operations(shops.operations());
  auto offer_shops = [&shops, window] {
    window->set_shop_choice(shops.choices(), shops.chosen(), [&shops, window](int index) {
      shops.choose(index);
      window->set_history_context(&shops.context(), shops.all_chosen());
    });
  };
  offer_shops();
  window->set_text("编辑框5", std::to_string(app::SettingsDialog::reminder_interval(settings, 10000)));
  // 设置: what it saved is in force at once (the shops served anew where changed).
  auto open_settings = [&settings, &shops, window, offer_shops] {
    auto* dialog = new app::SettingsDialog(
        settings, [](const app::Shop& shop) {
          const app::ShopCheck c = app::check_shop(shop);
          return std::pair{c.logged_in, c.said};
        },
        window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::accepted, window, [&settings, &shops, window, offer_shops] {
      shops.reload();  // keeps the choice where it still stands, else the first shop
      offer_shops();
      app::fill_settings_boxes(*window, settings);
      shops.choose(shops.chosen());  // the chosen shop's account in the boxes again
      window->set_text("编辑框5", std::to_string(app::SettingsDialog::reminder_interval(settings, 10000)));
    });
    dialog->open();
  };
  window->set_settings_action(open_settings);
  window->show();
  // Once shown: shipments a crash left without an answer, or a journal
  // that cannot be used (shipping will be refused).
  QTimer::singleShot(0, window, [&shops, &database, window] {
    if (!database.ok())
      window->message_box(web::utf8_to_gbk(database.error() + "\r\n发货前请先修好它（发货会被拒绝）。"));
    app::Context& first = shops.first();
    app::claim_records_without_shop(first);
    fulfilment::report_unknown_shipments(first);
    app::forget_expired_orders(first);
  });
  // A first start without an account: the settings first.
  if (app::read_shops(settings).front().account.empty()) QTimer::singleShot(0, window, open_settings);
  schedule_automation(*window);

  const int rc = qapp.exec();

  // Exit: workers' calls no longer reach the window; give them a moment to end.
  window->close_down();
  if (!window->wait_for_workers(std::chrono::milliseconds(1500))) {
    // A worker is still blocked (a slow request): end without tearing down
    // what it may still use.
    std::fflush(nullptr);
    std::_Exit(rc);
  }
  delete window;
  voice.reset();
  return rc;
}
