#include "app/gui/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSystemTrayIcon>

#include "desktop/notification.h"

namespace app {

using desktop::kPath;

QString DesktopNotifier::service_name() {
  return desktop::kService;
}

DesktopNotifier::DesktopNotifier(QObject* parent, QIcon icon, std::function<void()> on_open)
    : QObject(parent), m_icon(std::move(icon)), m_on_open(std::move(on_open)) {
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    m_tray = new QSystemTrayIcon(m_icon, this);
    m_tray->setToolTip(QString::fromUtf8("蔚禾商城订单管理系统"));
    connect(m_tray, &QSystemTrayIcon::messageClicked, this, [this] { m_on_open(); });
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
      if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick) m_on_open();
    });
    m_tray->show();
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected()) {
    bus.connect(service_name(), kPath, service_name(), QStringLiteral("ActionInvoked"), this,
                SLOT(action_invoked(uint, QString)));
    bus.connect(service_name(), kPath, service_name(), QStringLiteral("NotificationClosed"), this,
                SLOT(notification_closed(uint, uint)));
  }
}

void DesktopNotifier::notify(const QString& title, const QString& body) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return tray_message(title, body);
  const QDBusMessage call = desktop::new_orders_call(title, body);
  // No service, or one that fails: the tray says it instead. Nothing waits.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, watcher, title, body] {
            QDBusPendingReply<uint> reply = *watcher;
            if (reply.isError())
              tray_message(title, body);
            else
              m_ours.append(reply.value());
            watcher->deleteLater();
          });
}

void DesktopNotifier::tray_message(const QString& title, const QString& body) {
  if (m_tray) m_tray->showMessage(title, body, m_icon);
}

void DesktopNotifier::set_to_ship_count(int count) {
  if (m_tray)
    m_tray->setToolTip(QString::fromUtf8("蔚禾商城：%1笔订单待发货").arg(count));
}

void DesktopNotifier::action_invoked(uint id, const QString& action) {
  if (!m_ours.contains(id) || action != QStringLiteral("default")) return;
  m_ours.removeAll(id);
  m_on_open();
}

void DesktopNotifier::notification_closed(uint id, uint) {
  m_ours.removeAll(id);
}

}  // namespace app
