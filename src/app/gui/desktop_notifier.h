#pragma once
// New orders told to the desktop: a notification through the freedesktop
// notification service (org.freedesktop.Notifications on the session bus),
// whose default action calls `on_open`; without that service a tray message
// when a system tray exists, else nothing. The tray icon, when there is a
// tray, carries the count of orders waiting to be shipped in its tooltip.
// Nothing here waits for the bus: calls are sent and their answers taken
// when they come.
//
// Usage: DesktopNotifier n(window, icon, [&] { window.raise(); list_to_ship(); });
//        n.notify(title, body);  n.set_to_ship_count(12);

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>

class QSystemTrayIcon;

namespace app {

class DesktopNotifier : public QObject {
  Q_OBJECT

 public:
  DesktopNotifier(QObject* parent, QIcon icon, std::function<void()> on_open);

  void notify(const QString& title, const QString& body);
  void set_to_ship_count(int count);

  static QString service_name();  // "org.freedesktop.Notifications"

 private slots:
  void action_invoked(uint id, const QString& action);
  void notification_closed(uint id, uint reason);

 private:
  void tray_message(const QString& title, const QString& body);

  QIcon m_icon;
  std::function<void()> m_on_open;
  QSystemTrayIcon* m_tray = nullptr;
  QList<uint> m_ours;  // ids of the notifications this program raised and still shown
};

}  // namespace app
