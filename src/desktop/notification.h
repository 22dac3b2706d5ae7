#pragma once
// The freedesktop notification service's Notify call for new orders, as the
// window and weihe-cli send it: the program's name and icon, the title and
// body, and a default action ("default", 查看待发货订单).
//
// Usage: bus.asyncCall(desktop::new_orders_call(title, body));

#include <QDBusMessage>
#include <QString>

namespace desktop {

inline const QString kService = QStringLiteral("org.freedesktop.Notifications");
inline const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

QDBusMessage new_orders_call(const QString& title, const QString& body);

}  // namespace desktop
