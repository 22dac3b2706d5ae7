#include "cli/desktop_notify.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>

#include "desktop/notification.h"

namespace cli {

void notify_desktop(const app::Text& title, const app::Text& body, const CliForm& form) {
  // QtDBus wants an application object; the command line has none otherwise.
  static int argc = 1;
  static char name[] = "weihe-cli";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app =
      QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
  (void)app;

  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return form.say("没有桌面会话总线，新订单通知没有发出");
  const QDBusMessage call = desktop::new_orders_call(QString::fromStdString(web::gbk_to_utf8(title)),
                                                     QString::fromStdString(web::gbk_to_utf8(body)));
  const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
  if (reply.type() == QDBusMessage::ErrorMessage)
    form.say("新订单通知没有发出：" + reply.errorMessage().toStdString());
}

}  // namespace cli
