// Takes the pictures of the merchant's guide (docs/使用说明.md): the real
// window, set up as the program sets itself up, against two stand-in malls
// on loopback, driven through the guide's steps; each picture is a grab of
// the screen (run it under Xvfb: scripts/screenshots.sh does), the whole
// window or just the dialog a step opens. Not a test: run by hand when the
// window changes, and the pictures committed.
//
// Usage: guide_screenshots OUTPUT_DIR
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/main_window.h"
#include "app/gui/settings_dialog.h"
#include "app/wiring/served_shops.h"
#include "app/wiring/shop_check.h"
#include "core/columns.h"
#include "core/context.h"
#include "core/settings.h"
#include "fulfilment/courier_codes.h"
#include "fulfilment/tracking.h"
#include "mall/stand_in_mall.h"
#include "store/database.h"
#include "store/order_archive.h"
#include "web/text.h"

namespace {

using namespace std::chrono_literals;
using web::gbk;

QString u(const char* s) {
  return QString::fromUtf8(s);
}

// Passwords kept in memory, as a desktop keyring would keep them: the 设置
// dialog then shows what most merchants see.
class MemoryKeyring : public app::PasswordKeeper {
 public:
  std::optional<app::Text> read(const app::Text& account, const app::Text& host) override {
    auto at = m_kept.find(account + "@" + host);
    if (at == m_kept.end()) return std::nullopt;
    return at->second;
  }
  bool write(const app::Text& account, const app::Text& host, const app::Text& password) override {
    m_kept[account + "@" + host] = password;
    return true;
  }

 private:
  std::map<app::Text, app::Text> m_kept;
};

class Camera {
 public:
  Camera(QString dir, app::MainWindow& window) : m_dir(std::move(dir)), m_window(window) {}

  // Lets the window paint (and the workers end) for `ms` milliseconds.
  static void pause(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  void settle() {
    m_window.wait_for_workers(60s);
    pause(400);
  }
  void save(const QRect& area, const char* file) {
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
        0, area.x(), area.y(), area.width(), area.height());
    const QString path = m_dir + u("/") + u(file);
    // Quality 0: the smallest PNG (it is lossless whatever the quality).
    if (!shot.save(path, "PNG", 0)) std::fprintf(stderr, "screenshots: could not write %s\n", qPrintable(path));
    std::printf("%s\n", file);
    std::fflush(stdout);
  }
  void window(const char* file) {
    settle();
    save(m_window.geometry(), file);
  }
  // Runs `start`, which opens a dialog (perhaps modal, perhaps from a
  // worker); once `find` gives it shown, photographs it alone and `finish`es it.
  void dialog(const char* file, const std::function<QWidget*()>& find,
              const std::function<void(QWidget*)>& finish, const std::function<void()>& start) {
    bool done = false;
    QElapsedTimer seen;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      QWidget* w = find();
      if (!w || !w->isVisible() || done) return;
      if (!seen.isValid()) seen.start();
      if (seen.elapsed() < 600) return;
      done = true;
      timer.stop();
      save(w->frameGeometry(), file);
      finish(w);
    });
    timer.start(50);
    start();
    QElapsedTimer waited;
    waited.start();
    while (!done && waited.elapsed() < 60000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!done) std::fprintf(stderr, "screenshots: %s never showed\n", file);
    settle();
  }

 private:
  QString m_dir;
  app::MainWindow& m_window;
};

QWidget* modal() {
  return QApplication::activeModalWidget();
}

QWidget* top_level(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == u(name) && w->isVisible()) return w;
  return nullptr;
}

void click_default(QWidget* dialog) {
  for (auto* b : dialog->findChildren<QPushButton*>())
    if (b->isDefault()) return b->click();
  static_cast<QDialog*>(dialog)->reject();
}

// The settings file as a merchant's would read after 设置: the shop, the
// tracking key and courier. (A second shop comes later: with two, the
// reminder would not refresh the shown list.)
void write_settings(const std::filesystem::path& file, const mall::StandInMall& first) {
  const std::vector<std::string> lines = {
      "[配置项目]", "账号=demo", "快递100sky=demo-key", "快递类型=yuantong",
      "[hosts]", "backoffice=" + first.backoffice_host(), "images=" + first.image_host(),
      "tracking=" + first.tracking_host(), "label=旗舰店",
      "[reminder]", "interval_ms=1000"};
  std::string text;
  for (const std::string& l : lines) text += web::utf8_to_gbk(l) + "\r\n";
  std::ofstream(file, std::ios::binary) << text;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: guide_screenshots OUTPUT_DIR\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);

  mall::Options options;
  options.seeded_orders = 36;
  options.tracking_json = true;
  mall::StandInMall mall(options);
  mall::Options options2;
  options2.seeded_orders = 8;
  options2.seed = 7;
  options2.store_name = "蔚禾二号店";
  mall::StandInMall mall2(options2);

  QTemporaryDir home;
  const std::filesystem::path settings_path = home.path().toStdString() + "/配置文件.ini";
  write_settings(settings_path, mall);
  app::Settings settings(settings_path);
  MemoryKeyring keyring;
  settings.set_password_keeper(&keyring);
  keyring.write("demo", gbk(mall.backoffice_host()), "demo123");
  keyring.write("demo", gbk(mall2.backoffice_host()), "demo123");

  // As the program sets itself up (src/app/main.cpp), without a voice.
  auto* window = new app::MainWindow(settings, nullptr);
  window->set_courier_codes(fulfilment::courier_code_list());
  window->set_cell_summary(app::kOrderList, app::kColTrackingInfo, fulfilment::tracking_cell_summary);
  store::Database database(store::Database::beside(settings.path()));
  store::OrderArchive archive(database);
  app::ServedShops shops(*window, settings, &database, &archive);
  window->set_database(&database);
  window->set_history_context(&shops.context(), shops.all_chosen());
  window->set_operations(shops.operations());
  auto offer_shops = [&shops, window] {
    window->set_shop_choice(shops.choices(), shops.chosen(), [&shops, window](int index) {
      shops.choose(index);
      window->set_history_context(&shops.context(), shops.all_chosen());
    });
  };
  offer_shops();
  window->set_text("编辑框5", "1000");
  window->set_settings_action([&settings, window] {
    auto* dialog = new app::SettingsDialog(
        settings, [](const app::Shop& shop) {
          const app::ShopCheck c = app::check_shop(shop);
          return std::pair{c.logged_in, c.said};
        },
        window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
  });
  // Message boxes are answered (and said on standard error), not shown.
  window->set_message_handler([](const app::Text& text, const app::Text&, app::Buttons b) {
    std::fprintf(stderr, "message: %s\n", web::gbk_to_utf8(text).c_str());
    return b == app::Buttons::YesNo ? app::Answer::Yes : app::Answer::Ok;
  });
  window->show();

  Camera camera(out, *window);
  auto button = [window](const char* name) {
    return window->findChild<QPushButton*>(u(name));
  };
  auto click = [&](const char* name) {
    button(name)->click();
    camera.settle();
  };
  auto* tabs = window->findChild<QTabWidget*>(u("选择夹1"));
  auto* orders = window->findChild<QTableView*>(u("超级列表框1"));
  auto menu_entry = [window](const char* text) -> QAction* {
    for (QAction* a : window->order_menu()->actions())
      if (a->text() == u(text)) return a;
    std::fprintf(stderr, "screenshots: no menu entry %s\n", text);
    return nullptr;
  };
  auto select_row = [orders](int row) {
    orders->selectRow(row);
    orders->scrollTo(orders->model()->index(row, 0));
  };
  camera.settle();

  // 设置: the 店铺 page (showing hosts as a real shop's would read, not the
  // stand-in's loopback ports), then 其他.
  camera.dialog("settings-shops.png", [] { return top_level("设置"); }, [](QWidget*) {},
                [&] {
                  click("按钮设置");
                  if (QWidget* dialog = top_level("设置")) {
                    const char* const hosts[] = {"https://business.example.com",
                                                 "https://img.example.com", "api.kuaidi100.com"};
                    int next = 0;
                    for (auto* edit : dialog->findChildren<QLineEdit*>())
                      if (edit->text().startsWith(u("127.0.0.1:")) && next < 3)
                        edit->setText(u(hosts[next++]));
                  }
                });
  if (QWidget* dialog = top_level("设置")) {
    auto* pages = dialog->findChild<QTabWidget*>();
    pages->setCurrentIndex(1);
    Camera::pause(400);
    camera.save(dialog->frameGeometry(), "settings-other.png");
    static_cast<QDialog*>(dialog)->reject();
  }

  // Log in, then the orders to ship with their details.
  window->set_text("编辑框2", "demo123");
  click("按钮1");
  camera.window("login.png");
  click("按钮4");
  click("按钮6");
  click("按钮11");
  camera.window("to-ship.png");

  // Search.
  auto* search = window->findChild<QLineEdit*>(u("搜索框"));
  const app::Text consignee = window->cell(app::kOrderList, 1, 18);
  search->setText(QString::fromStdString(web::gbk_to_utf8(consignee)).left(1));
  camera.window("search.png");
  search->clear();

  // One order, opened whole.
  camera.dialog("row.png", [] { return top_level("订单行"); },
                [](QWidget* w) { static_cast<QDialog*>(w)->reject(); },
                [&] {
                  QTimer::singleShot(0, [orders] {
                    emit orders->doubleClicked(orders->model()->index(0, 1));
                  });
                });

  // One order shipped on its own: its number typed into 发货单号, then
  // 选中行发货 from the menu of its row.
  const int rows = window->row_count(app::kOrderList);
  select_row(0);
  window->set_text("编辑框14", "YT7001234560");
  {
    const QRect cell = orders->visualRect(orders->model()->index(0, 3));
    emit orders->customContextMenuRequested(cell.center());
    Camera::pause(600);
    camera.save(window->geometry(), "menu.png");
    window->order_menu()->hide();
  }
  if (QAction* a = menu_entry("选中行发货")) a->trigger();
  camera.settle();

  // A batch: numbers for the rest, one missing, one typed twice, one unlike
  // the courier's numbers.
  for (int r = 1; r < rows; ++r)
    window->set_cell(app::kOrderList, r, app::kColTrackingNo, "YT70012345" + std::to_string(60 + r));
  if (rows > 4) {
    window->set_cell(app::kOrderList, 2, app::kColTrackingNo, "");
    window->set_cell(app::kOrderList, 3, app::kColTrackingNo,
                     window->cell(app::kOrderList, 4, app::kColTrackingNo));
    window->set_cell(app::kOrderList, 5, app::kColTrackingNo, "12345");
  }
  camera.dialog("batch-question.png", modal, click_default, [&] { button("按钮12")->click(); });
  orders->scrollTo(orders->model()->index(0, app::kColShipStatus));
  camera.window("ship-status.png");
  orders->scrollTo(orders->model()->index(0, 0));

  // The scan mode: one parcel shipped, the next order scanned.
  click("按钮4");
  click("按钮6");
  window->open_scan_mode();
  Camera::pause(500);
  if (QWidget* scan = top_level("扫描发货")) {
    auto* input = scan->findChild<QLineEdit*>(u("扫描框"));
    auto scan_code = [&](const app::Text& code) {
      input->setText(QString::fromStdString(web::gbk_to_utf8(code)));
      QTest::keyClick(input, Qt::Key_Return);
      camera.settle();
      Camera::pause(800);
    };
    if (window->row_count(app::kOrderList) >= 2) {
      scan_code(window->cell(app::kOrderList, 0, app::kColOrderNo));
      scan_code("YT7009876541");
      scan_code(window->cell(app::kOrderList, 1, app::kColOrderNo));
    }
    camera.save(scan->frameGeometry(), "scan.png");
    static_cast<QDialog*>(scan)->reject();
    camera.settle();
  }

  // Tracking: a parcel on its way, its timeline.
  click("按钮5");
  window->set_text("编辑框7", "demo-key");
  window->set_text("编辑框8", "yuantong");
  select_row(0);
  camera.dialog("tracking.png", [] { return top_level("物流轨迹"); },
                [](QWidget* w) { static_cast<QDialog*>(w)->reject(); },
                [&] {
                  if (QAction* a = menu_entry("查询当前订单物流")) a->trigger();
                });

  // New orders: the reminder on, two orders come.
  click("按钮4");
  click("按钮7");
  Camera::pause(2500);
  mall.add_order(20);
  mall.add_order(20);
  Camera::pause(3000);
  camera.window("new-orders.png");
  click("按钮7");

  // Packing slips, previewed.
  camera.dialog("print-slips.png", [] { return top_level("打印预览"); },
                [](QWidget* w) { static_cast<QDialog*>(w)->reject(); },
                [&] { button("打印发货单")->click(); });
  camera.dialog("print-picklist.png", [] { return top_level("打印预览"); },
                [](QWidget* w) { static_cast<QDialog*>(w)->reject(); },
                [&] { button("打印拣货单")->click(); });

  // The pages: shipping journal, history, figures, help.
  tabs->setCurrentIndex(8);
  camera.window("journal.png");
  tabs->setCurrentIndex(9);
  camera.window("history.png");
  tabs->setCurrentIndex(10);
  // The stand-in's orders were paid in January 2017.
  if (auto* page = window->findChild<QWidget*>(u("统计"))) {
    const auto dates = page->findChildren<QDateEdit*>();
    if (dates.size() == 2) {
      dates[0]->setDate(QDate(2017, 1, 1));
      dates[1]->setDate(QDate(2017, 1, 31));
    }
  }
  camera.window("report.png");
  tabs->setCurrentIndex(7);
  camera.window("help.png");
  tabs->setCurrentIndex(0);

  // E-waybills: the account on 设置's 电子面单 page, then 取号打印 over the
  // orders to ship, its question, and the table after it (labels to a PDF).
  {
    const mall::WaybillAccount& account = mall.options().waybill;
    const app::Text section = gbk("waybill");
    settings.write_setting(gbk("provider"), gbk("kuaidi100"), section);
    settings.write_setting(gbk("endpoint"), gbk("http://" + mall.waybill_host() + "/label/order"), section);
    settings.write_setting(gbk("courier"), gbk("yuantong"), section);
    settings.write_setting(gbk("key"), gbk(account.key), section);
    settings.write_setting(gbk("secret"), gbk(account.secret), section);
    settings.write_setting(gbk("partner_id"), gbk("demo-partner"), section);
    settings.write_setting(gbk("label_printer"), gbk(home.path().toStdString() + "/labels.pdf"), gbk("print"));
  }
  camera.dialog("settings-waybill.png", [] { return top_level("设置"); }, [](QWidget*) {},
                [&] { click("按钮设置"); });
  if (QWidget* dialog = top_level("设置")) {
    auto* pages = dialog->findChild<QTabWidget*>();
    for (int i = 0; i < pages->count(); ++i)
      if (pages->tabText(i) == u("电子面单")) pages->setCurrentIndex(i);
    if (auto* endpoint = dialog->findChild<QLineEdit*>(QStringLiteral("waybill_endpoint")))
      endpoint->setText(u("https://api.kuaidi100.com/label/order"));  // as a real account reads
    Camera::pause(400);
    camera.save(dialog->frameGeometry(), "settings-waybill.png");
    static_cast<QDialog*>(dialog)->reject();
  }
  click("按钮4");
  click("按钮6");
  camera.dialog("waybill-question.png",
                [] {
                  for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->windowTitle() == u("取号打印") && w->isVisible()) return w;
                  return static_cast<QWidget*>(nullptr);
                },
                [](QWidget* w) {
                  if (auto* go = w->findChild<QPushButton*>(QStringLiteral("go"))) go->click();
                },
                [&] { button("取号打印")->click(); });
  Camera::pause(3000);
  orders->scrollTo(orders->model()->index(0, app::kColShipStatus));  // 快递单号 and 发货状态 in view
  camera.window("waybill-tools.png");
  orders->scrollTo(orders->model()->index(0, 0));

  // Every shop in one window.
  // A second shop, as 设置's 添加店铺 writes it.
  const app::Text second = gbk("店铺:二号店");
  settings.write_setting("backoffice", mall2.backoffice_host(), second);
  settings.write_setting("images", mall2.image_host(), second);
  settings.write_setting("tracking", mall2.tracking_host(), second);
  settings.write_setting(gbk("账号"), "demo", second);
  shops.reload();
  offer_shops();
  if (auto* choice = window->findChild<QComboBox*>(u("店铺选择"))) {
    const int all = choice->count() - 1;
    choice->setCurrentIndex(all);
    emit choice->activated(all);
    camera.settle();
    click("按钮1");
    click("按钮4");
    camera.window("all-shops.png");
  }


  window->close();
  window->close_down();
  window->wait_for_workers(5s);
  delete window;
  return 0;
}
