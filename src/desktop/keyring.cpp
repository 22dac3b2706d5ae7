#include "desktop/keyring.h"

#include <qt6keychain/keychain.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace desktop {

namespace {

const QString kService = QStringLiteral("weihe-orders");

QString entry_of(const app::Text& account, const app::Text& host) {
  return QString::fromStdString(web::gbk_to_utf8(account + "@" + host));
}

// Runs a keychain job to its end, at most a few seconds (a keyring that
// asks its user to unlock it may take that long; then it counts as absent).
bool run(QKeychain::Job& job) {
  QEventLoop loop;
  bool finished = false;
  QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
    finished = true;
    loop.quit();
  });
  QTimer::singleShot(5000, &loop, &QEventLoop::quit);
  job.setAutoDelete(false);
  job.start();
  if (!finished) loop.exec();
  return finished;
}

// Only the window's thread runs the keychain's jobs, and only with a bus to ask.
bool can_ask() {
  const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread() &&
         !bus.isEmpty() && !bus.startsWith("disabled:");
}

}  // namespace

bool Keyring::available() {
  if (m_available) return *m_available;
  if (!can_ask()) return false;
  // Reading an entry that is not there: a keyring answers "not found".
  QKeychain::ReadPasswordJob job(kService);
  job.setKey(QStringLiteral("weihe-orders availability check"));
  const bool answered = run(job);
  m_available = answered && (job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound);
  return *m_available;
}

std::optional<app::Text> Keyring::read(const app::Text& account, const app::Text& host) {
  if (!can_ask() || !available()) return std::nullopt;
  QKeychain::ReadPasswordJob job(kService);
  job.setKey(entry_of(account, host));
  if (!run(job) || job.error() != QKeychain::NoError) return std::nullopt;
  return web::utf8_to_gbk(job.textData().toStdString());
}

bool Keyring::write(const app::Text& account, const app::Text& host, const app::Text& password) {
  if (!can_ask() || !available()) return false;
  QKeychain::WritePasswordJob job(kService);
  job.setKey(entry_of(account, host));
  job.setTextData(QString::fromStdString(web::gbk_to_utf8(password)));
  return run(job) && job.error() == QKeychain::NoError;
}

}  // namespace desktop
