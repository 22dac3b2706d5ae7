#include "app/gui/store_page.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>

#include <thread>

#include "core/store_location.h"
#include "store/database.h"
#include "store/migration.h"
#include "store/pg.h"

namespace app {

namespace {

QString u(const char* s) { return QString::fromUtf8(s); }

const Text kSection = "store";

}  // namespace

StorePage::StorePage(Settings& settings, QWidget* parent) : QWidget(parent), m_settings(settings) {
  auto* form = new QFormLayout(this);
  auto* about = new QLabel(
      u("几台电脑给同一个店铺发货时，让它们共用一个 PostgreSQL 数据库：同一单不会被发两次，"
        "一台电脑发的货别的电脑一秒内就能看到。空着就只用这台电脑自己的记录。改了以后重新打开程序才生效。"));
  about->setWordWrap(true);
  form->addRow(about);
  m_url = new QLineEdit(QString::fromStdString(store_url(settings)));
  m_url->setObjectName(QStringLiteral("store_url"));
  m_url->setPlaceholderText(QStringLiteral("postgresql://weihe@db.lan/weihe?sslmode=verify-full"));
  m_url->setToolTip(u("密码不要写在这里：放在 ~/.pgpass 里，或桌面的密钥环里"));
  m_station = new QLineEdit(QString::fromStdString(web::gbk_to_utf8(settings.read_setting("station", kSection))));
  m_station->setObjectName(QStringLiteral("store_station"));
  m_station->setPlaceholderText(QString::fromStdString(store::default_station_name()));
  m_lease = new QSpinBox;
  m_lease->setRange(1, 24 * 3600);
  m_lease->setSuffix(u(" 秒"));
  m_lease->setValue(settings.read_number("lease", kSection, 60, 1, 24 * 3600));
  m_lease->setToolTip(u("一台电脑占了一单却没发出去（比如程序被关掉），过了这么久别的电脑可以接着发"));
  m_test = new QPushButton(u("测试连接"));
  m_test->setObjectName(QStringLiteral("store_test"));
  m_result = new QLabel;
  m_result->setObjectName(QStringLiteral("store_test_result"));
  m_result->setWordWrap(true);
  form->addRow(u("共享数据库（连接串）："), m_url);
  form->addRow(u("这台电脑的名字："), m_station);
  form->addRow(u("占单超时："), m_lease);
  form->addRow(m_test, m_result);
  connect(m_test, &QPushButton::clicked, this, &StorePage::test);
}

QString StorePage::problem() const {
  const std::string url = m_url->text().trimmed().toStdString();
  if (url.empty()) return {};
  std::string why;
  if (store::pg::settings_of(url, &why)) return {};
  return u("共享数据库的连接串写得不对：") + QString::fromStdString(why);
}

void StorePage::test() {
  if (const QString why = problem(); !why.isEmpty() || m_url->text().trimmed().isEmpty()) {
    m_result->setStyleSheet(QStringLiteral("color: red"));
    m_result->setText(why.isEmpty() ? u("没有填连接串：用的是这台电脑自己的记录") : why);
    return;
  }
  // The password as the program will find it at its next start.
  const store::Database::Shared shared = shared_store_at(m_settings, m_url->text().trimmed().toStdString());
  m_test->setEnabled(false);
  m_result->setStyleSheet({});
  m_result->setText(u("正在连接…"));
  // Connecting may take seconds: it runs beside the dialog, which stays usable.
  QPointer<StorePage> self(this);
  std::thread([self, shared] {
    store::Database db(shared);
    bool ok = db.ok();
    std::string said;
    if (ok) {
      std::string error;
      std::string names;
      for (const store::StationSeen& s : store::stations(db, &error)) names += (names.empty() ? "" : "、") + s.name;
      said = "连上了：" + db.where() + "，结构版本 " + std::to_string(db.schema_version()) +
             (names.empty() ? std::string("，还没有电脑用过") : "，用过的电脑：" + names);
    } else {
      said = db.error();
    }
    QMetaObject::invokeMethod(qApp, [self, ok, text = QString::fromStdString(said)] {
      if (!self) return;
      self->m_test->setEnabled(true);
      self->m_result->setStyleSheet(ok ? QStringLiteral("color: green") : QStringLiteral("color: red"));
      self->m_result->setText(text);
    });
  }).detach();
}

bool StorePage::save() {
  return m_settings.write_setting("url", web::utf8_to_gbk(m_url->text().trimmed().toStdString()), kSection) &&
         m_settings.write_setting("station", web::utf8_to_gbk(m_station->text().trimmed().toStdString()), kSection) &&
         m_settings.write_setting("lease", std::to_string(m_lease->value()), kSection);
}

}  // namespace app
