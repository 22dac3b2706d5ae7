// New orders reach the desktop: a stand-in notification service on a private
// session bus (a dbus-daemon of the test's own) receives the window's
// notification, and its default action brings the to-ship list up. Every
// test case runs in a process of its own (CTest), so the window's session bus
// is the one named here.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QVariantMap>

#include <atomic>
#include <filesystem>

#include "core/settings.h"
#include "app/gui/main_window.h"
#include "support/temp_dir.h"

namespace {

// The service's side of org.freedesktop.Notifications: records each Notify.
class StandInNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  QStringList titles, bodies, actions;
  QString icon;

 public slots:
  uint Notify(const QString&, uint, const QString& app_icon, const QString& summary,
              const QString& body, const QStringList& action_list, const QVariantMap&, int) {
    icon = app_icon;
    titles << summary;
    bodies << body;
    actions = action_list;
    return 7;
  }
};

bool wait_until(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

class Notification : public ::testing::Test {
 protected:
  void make_window() {
    m_window = std::make_unique<app::MainWindow>(m_settings, nullptr);
    app::Operations ops;
    ops.fetch_orders_to_ship = [this] { ++m_listed; };
    m_window->set_operations(ops);
  }
  testing_support::TempDir m_dir;
  app::Settings m_settings{m_dir.path() / "settings.ini"};
  std::unique_ptr<app::MainWindow> m_window;
  std::atomic<int> m_listed{0};
};

TEST_F(Notification, ReachesTheServiceAndItsActionListsTheOrdersToShip) {
  QProcess daemon;
  daemon.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
  ASSERT_TRUE(daemon.waitForStarted()) << "dbus-daemon is missing";
  ASSERT_TRUE(daemon.waitForReadyRead(5000));
  const QByteArray address = daemon.readLine().trimmed();
  qputenv("DBUS_SESSION_BUS_ADDRESS", address);

  QDBusConnection service = QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("service"));
  ASSERT_TRUE(service.isConnected());
  StandInNotifications server;
  ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                     QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));

  make_window();
  m_window->notify(web::gbk("蔚禾商城：2笔新订单"), web::gbk("201701191221231001  ¥99.00\n201701191221231002  ¥5.00"));
  ASSERT_TRUE(wait_until([&] { return !server.titles.isEmpty(); }));
  EXPECT_EQ(server.titles[0], QString::fromUtf8("蔚禾商城：2笔新订单"));
  EXPECT_TRUE(server.bodies[0].startsWith(QString::fromUtf8("201701191221231001  ¥99.00\n")));
  EXPECT_EQ(server.icon, QStringLiteral("weihe-orders"));
  ASSERT_GE(server.actions.size(), 2);
  EXPECT_EQ(server.actions[0], QStringLiteral("default"));

  // The merchant clicks it: another program's notification does nothing, ours lists.
  auto invoke = [&](uint id) {
    QDBusMessage clicked = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                      QStringLiteral("org.freedesktop.Notifications"),
                                                      QStringLiteral("ActionInvoked"));
    clicked << id << QStringLiteral("default");
    service.send(clicked);
  };
  invoke(3);
  invoke(7);
  ASSERT_TRUE(wait_until([&] { return m_listed.load() > 0; }));
  EXPECT_EQ(m_listed.load(), 1);
  m_window->close_down();
  m_window->wait_for_workers(std::chrono::seconds(2));
  m_window.reset();
  QDBusConnection::disconnectFromBus(QStringLiteral("service"));
  daemon.kill();
  daemon.waitForFinished();
}

TEST_F(Notification, WithoutABusNothingWaits) {
  qputenv("DBUS_SESSION_BUS_ADDRESS", (m_dir.path() / "no-such-bus").string().insert(0, "unix:path=").c_str());
  QElapsedTimer t;
  t.start();
  make_window();
  m_window->notify(web::gbk("蔚禾商城：1笔新订单"), "1");
  m_window->show_to_ship_count(3);
  QApplication::processEvents();
  EXPECT_LT(t.elapsed(), 1000);
  EXPECT_EQ(m_listed.load(), 0);
}

}  // namespace

#include "notification_test.moc"
