#include "desktop/notification.h"

#include <QStringList>
#include <QVariantMap>

namespace desktop {

QDBusMessage new_orders_call(const QString& title, const QString& body) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("weihe-orders"));
  call << QString::fromUtf8("蔚禾商城订单管理系统") << uint(0) << QStringLiteral("weihe-orders") << title
       << body << QStringList{QStringLiteral("default"), QString::fromUtf8("查看待发货订单")} << hints
       << int(-1);
  return call;
}

}  // namespace desktop
