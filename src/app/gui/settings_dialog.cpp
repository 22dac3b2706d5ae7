#include "app/gui/settings_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <thread>

#include "app/gui/qt_text.h"
#include "app/gui/store_page.h"
#include "fulfilment/courier_codes.h"
#include "fulfilment/tracking.h"
#include "printing/paper.h"
#include "report/shop_report.h"
#include "waybill/account.h"
#include "waybill/couriers.h"
#include "waybill/waybill_batch.h"

namespace app {

namespace {

using web::gbk;

// A spin box over a number of the settings file, shown as it is in force.
struct NumberSetting {
  const char* key;
  const char* section;
};
constexpr NumberSetting kConnections{"connections", "network"};
constexpr NumberSetting kReuse{"reuse_minutes", "tracking"};
constexpr NumberSetting kInterval{"min_interval_ms", "tracking"};
constexpr NumberSetting kReminder{"interval_ms", "reminder"};
constexpr NumberSetting kKeepDays{"keep_days", "archive"};
constexpr NumberSetting kLateHours{"late_hours", "report"};

QSpinBox* spin(int least, int most, int value, const char* suffix = "") {
  auto* box = new QSpinBox;
  box->setRange(least, most);
  box->setValue(value);
  box->setSuffix(u(suffix));
  return box;
}

bool has_blank(const QString& text) {
  for (QChar c : text)
    if (c.isSpace()) return true;
  return false;
}

}  // namespace

int SettingsDialog::reminder_interval(const Settings& settings, int fallback) {
  return settings.read_number(gbk(kReminder.key), gbk(kReminder.section), fallback, 1, 86'400'000);
}

SettingsDialog::SettingsDialog(Settings& settings, Check check, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_check(std::move(check)) {
  setWindowTitle(u("设置"));
  setObjectName(u("设置"));
  for (Shop& shop : read_shops(settings)) {
    const Text label = shop.label;
    m_entries.push_back({std::move(shop), label});
  }
  auto* tabs = new QTabWidget;
  tabs->addTab(build_shops(), u("店铺"));
  tabs->addTab(build_others(), u("其他"));
  tabs->addTab(build_waybill(), u("电子面单"));
  m_store = new StorePage(settings);
  tabs->addTab(m_store, u("多台电脑"));
  connect(m_store->findChild<QLineEdit*>(QStringLiteral("store_url")), &QLineEdit::textEdited, this,
          [this] { revalidate(); });
  m_problem = new QLabel;
  m_problem->setStyleSheet(QStringLiteral("color: red"));
  m_problem->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
  m_save = buttons->button(QDialogButtonBox::Save);
  m_save->setText(u("保存"));
  buttons->button(QDialogButtonBox::Cancel)->setText(u("取消"));
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (save()) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs);
  layout->addWidget(m_problem);
  layout->addWidget(buttons);
  m_list->setCurrentRow(0);
  revalidate();
}

QWidget* SettingsDialog::build_shops() {
  auto* page = new QWidget;
  m_list = new QListWidget;
  m_list->setObjectName(u("店铺列表"));
  for (const Entry& e : m_entries) m_list->addItem(qs(e.shop.label));
  auto* add = new QPushButton(u("添加店铺"));
  m_remove = new QPushButton(u("删除店铺"));
  auto* list_side = new QVBoxLayout;
  list_side->addWidget(m_list);
  list_side->addWidget(add);
  list_side->addWidget(m_remove);

  auto line = [this](const char* name) {
    auto* edit = new QLineEdit;
    edit->setObjectName(u(name));
    connect(edit, &QLineEdit::textEdited, this, [this] {
      take_fields();
      revalidate();
    });
    return edit;
  };
  m_label = line("店铺名称");
  m_backoffice = line("后台主机");
  m_images = line("图片主机");
  m_tracking = line("物流主机");
  m_account = line("店铺账号");
  m_password = line("店铺密码");
  m_password->setEchoMode(QLineEdit::Password);
  for (QLineEdit* host : {m_backoffice, m_images, m_tracking})
    host->setPlaceholderText(u("主机[:端口] 或 https://主机[:端口]"));
  m_images->setPlaceholderText(u("空：与后台相同"));
  // Where the password goes when saved: no keyring, no secret.
  m_password_kept = new QLabel(m_settings.password_keeper()
                                   ? u("密码保存在系统的钥匙环里，配置文件里不存密码。")
                                   : u("这台电脑没有可用的钥匙环：密码以明文保存在配置文件里"
                                       "（只有本用户能读），请保管好这台电脑。"));
  m_password_kept->setObjectName(u("密码保存处"));
  m_password_kept->setWordWrap(true);
  if (!m_settings.password_keeper())
    m_password_kept->setStyleSheet(QStringLiteral("color: #a05a00"));
  m_test = new QPushButton(u("测试连接"));
  m_test_result = new QLabel;
  m_test_result->setWordWrap(true);
  auto* form = new QFormLayout;
  form->addRow(u("名称："), m_label);
  form->addRow(u("后台："), m_backoffice);
  form->addRow(u("图片："), m_images);
  form->addRow(u("物流查询："), m_tracking);
  form->addRow(u("账号："), m_account);
  form->addRow(u("密码："), m_password);
  form->addRow(QString(), m_password_kept);
  form->addRow(m_test, m_test_result);

  auto* layout = new QHBoxLayout(page);
  layout->addLayout(list_side, 1);
  layout->addLayout(form, 2);
  connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) { show_entry(row); });
  connect(add, &QPushButton::clicked, this, [this] { add_shop(); });
  connect(m_remove, &QPushButton::clicked, this, [this] { remove_shop(); });
  connect(m_test, &QPushButton::clicked, this, [this] { test_connection(); });
  return page;
}

QWidget* SettingsDialog::build_others() {
  auto* page = new QWidget;
  auto number = [this](const NumberSetting& s, int fallback, int least, int most) {
    return m_settings.read_number(gbk(s.key), gbk(s.section), fallback, least, most);
  };
  m_key = new QLineEdit(qs(m_settings.read_setting(gbk("快递100sky"))));
  m_key->setObjectName(u("快递100sky"));
  m_courier = new QLineEdit(qs(m_settings.read_setting(gbk("快递类型"))));
  m_courier->setObjectName(u("快递类型"));
  for (QLineEdit* e : {m_key, m_courier}) connect(e, &QLineEdit::textEdited, this, [this] { revalidate(); });
  const fulfilment::TrackingLimits limits = fulfilment::TrackingLimits::from(m_settings);
  m_connections = spin(1, 16, parallel_requests(m_settings));
  m_connections->setObjectName(QStringLiteral("network_connections"));
  m_reuse = spin(0, 7 * 24 * 60, limits.reuse_minutes, " 分钟");
  m_interval_ms = spin(0, 60000, limits.min_interval_ms, " 毫秒");
  m_reminder = spin(1000, 86'400'000, reminder_interval(m_settings, 10000), " 毫秒");
  m_reminder->setSingleStep(1000);
  m_paper = new QComboBox;
  for (printing::Paper p : printing::kPapers) m_paper->addItem(printing::paper_caption(p));
  m_paper->setCurrentIndex(static_cast<int>(printing::remembered_paper(m_settings)));
  m_mask = new QCheckBox(u("发货单上隐藏电话中间四位"));
  m_mask->setChecked(printing::masks_phone(m_settings));
  m_late = spin(1, 8760, report::late_hours_setting(m_settings), " 小时");
  m_keep = spin(0, 100000, number(kKeepDays, 0, 0, 100000), " 天");
  m_keep->setSpecialValueText(u("一直保留"));

  auto* form = new QFormLayout(page);
  form->addRow(u("快递100 key："), m_key);
  form->addRow(u("查询用快递公司："), m_courier);
  form->addRow(u("同时发出的请求："), m_connections);
  form->addRow(u("物流答复沿用："), m_reuse);
  form->addRow(u("两次物流查询至少相隔："), m_interval_ms);
  form->addRow(u("新订单提醒间隔："), m_reminder);
  form->addRow(u("打印纸张："), m_paper);
  form->addRow(QString(), m_mask);
  form->addRow(u("统计：付款后超过多久算超时："), m_late);
  form->addRow(u("订单存档保留："), m_keep);
  return page;
}

namespace {

// Section waybill's text keys, the provider they belong to ("" both), their captions.
struct WaybillKey {
  const char* key;
  const char* provider;
  const char* caption;
  const char* owner;  // a secret: the key it is kept under in the keyring; else null
};
constexpr WaybillKey kWaybillKeys[] = {
    {"endpoint", "", "接口地址（空：服务商的）：", nullptr},
    {"courier", "", "快递公司代码：", nullptr},
    {"key", "kuaidi100", "key：", nullptr},
    {"secret", "kuaidi100", "secret：", "key"},
    {"partner_id", "kuaidi100", "电子面单账号（partner_id）：", nullptr},
    {"partner_key", "kuaidi100", "partner_key：", nullptr},
    {"partner_secret", "kuaidi100", "partner_secret：", "partner_id"},
    {"net", "kuaidi100", "网点（net）：", nullptr},
    {"temp_id", "kuaidi100", "模板（temp_id）：", nullptr},
    {"ebusiness_id", "kdniao", "商户ID（EBusinessID）：", nullptr},
    {"app_key", "kdniao", "AppKey：", "ebusiness_id"},
    {"customer_name", "kdniao", "电子面单账号（CustomerName）：", nullptr},
    {"customer_pwd", "kdniao", "电子面单密码（CustomerPwd）：", "customer_name"},
    {"month_code", "kdniao", "月结编号（MonthCode）：", nullptr},
    {"send_site", "kdniao", "网点（SendSite）：", nullptr},
};
const char* const kProviders[] = {"", "kuaidi100", "kdniao"};

}  // namespace

QWidget* SettingsDialog::build_waybill() {
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);
  const waybill::Account account = waybill::read_account(m_settings);
  m_wb_provider = new QComboBox;
  m_wb_provider->setObjectName(QStringLiteral("waybill_provider"));
  m_wb_provider->addItems({u("（不用电子面单）"), u("快递100"), u("快递鸟")});
  for (int i = 0; i < 3; ++i)
    if (account.provider == kProviders[i]) m_wb_provider->setCurrentIndex(i);
  form->addRow(u("面单服务商："), m_wb_provider);
  const std::map<std::string, std::string> values = {{"endpoint", account.endpoint},
                                                     {"courier", account.courier},
                                                     {"key", account.key},
                                                     {"secret", account.secret},
                                                     {"partner_id", account.partner_id},
                                                     {"partner_key", account.partner_key},
                                                     {"partner_secret", account.partner_secret},
                                                     {"net", account.net},
                                                     {"temp_id", account.temp_id},
                                                     {"ebusiness_id", account.ebusiness_id},
                                                     {"app_key", account.app_key},
                                                     {"customer_name", account.customer_name},
                                                     {"customer_pwd", account.customer_pwd},
                                                     {"month_code", account.month_code},
                                                     {"send_site", account.send_site}};
  for (const WaybillKey& k : kWaybillKeys) {
    auto* edit = new QLineEdit(QString::fromStdString(values.at(k.key)));
    edit->setObjectName(QStringLiteral("waybill_") + QLatin1String(k.key));
    if (k.owner) edit->setEchoMode(QLineEdit::Password);
    connect(edit, &QLineEdit::textEdited, this, [this] { revalidate(); });
    m_wb[k.key] = edit;
    form->addRow(u(k.caption), edit);
  }
  m_wb_pay = new QComboBox;
  m_wb_pay->addItems({u("1 现付"), u("2 到付"), u("3 月结"), u("4 第三方付")});
  m_wb_pay->setCurrentIndex(std::clamp(account.pay_type, 1, 4) - 1);
  form->addRow(u("付款方式（PayType）："), m_wb_pay);
  m_label_paper = new QComboBox;
  for (printing::Paper p : printing::kPapers) m_label_paper->addItem(printing::paper_caption(p));
  m_label_paper->setCurrentIndex(static_cast<int>(printing::remembered_label_paper(m_settings)));
  form->addRow(u("面单纸张："), m_label_paper);
  const QStringList printers = QPrinterInfo::availablePrinterNames();
  auto printer_box = [&](const char* key, const char* name) {
    auto* box = new QComboBox;
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->addItem(QString());
    box->addItems(printers);
    box->setCurrentText(printing::remembered_printer(m_settings, key));
    return box;
  };
  m_label_printer = printer_box("label_printer", "label_printer");
  m_paper_printer = printer_box("paper_printer", "paper_printer");
  form->addRow(u("标签打印机（面单）："), m_label_printer);
  form->addRow(u("纸张打印机（发货单、拣货单）："), m_paper_printer);
  m_wb_test = new QPushButton(u("测试"));
  m_wb_test->setObjectName(QStringLiteral("waybill_test"));
  m_wb_test->setToolTip(u("用一个编造的单号发一次取消请求：不取任何面单，只看账户和签名对不对"));
  m_wb_result = new QLabel;
  m_wb_result->setObjectName(QStringLiteral("waybill_test_result"));
  m_wb_result->setWordWrap(true);
  auto* test_row = new QHBoxLayout;
  test_row->addWidget(m_wb_test);
  test_row->addWidget(m_wb_result, 1);
  form->addRow(QString(), test_row);
  connect(m_wb_test, &QPushButton::clicked, this, &SettingsDialog::test_waybill);
  connect(m_wb_provider, &QComboBox::currentIndexChanged, this, [this] {
    show_waybill_fields();
    revalidate();
  });
  show_waybill_fields();
  auto* scroll = new QScrollArea;
  scroll->setWidgetResizable(true);
  scroll->setWidget(page);
  return scroll;
}

void SettingsDialog::show_waybill_fields() {
  const std::string provider = kProviders[std::max(0, m_wb_provider->currentIndex())];
  auto* form = static_cast<QFormLayout*>(m_wb_provider->parentWidget()->layout());
  for (const WaybillKey& k : kWaybillKeys)
    form->setRowVisible(m_wb.at(k.key),
                        !provider.empty() && (*k.provider == 0 || provider == k.provider));
  form->setRowVisible(m_wb_pay, provider == "kdniao");
  m_wb_test->setEnabled(!provider.empty());
  m_wb_result->clear();
}

namespace {

waybill::Account account_of(const std::string& provider,
                            const std::map<std::string, QLineEdit*>& fields, int pay_type) {
  auto v = [&](const char* key) { return fields.at(key)->text().trimmed().toStdString(); };
  waybill::Account a;
  a.provider = provider;
  a.endpoint = v("endpoint");
  a.courier = v("courier");
  a.key = v("key");
  a.secret = v("secret");
  a.partner_id = v("partner_id");
  a.partner_key = v("partner_key");
  a.partner_secret = v("partner_secret");
  a.net = v("net");
  a.temp_id = v("temp_id");
  a.ebusiness_id = v("ebusiness_id");
  a.app_key = v("app_key");
  a.customer_name = v("customer_name");
  a.customer_pwd = v("customer_pwd");
  a.month_code = v("month_code");
  a.send_site = v("send_site");
  a.pay_type = pay_type;
  return a;
}

}  // namespace

void SettingsDialog::test_waybill() {
  const std::string provider = kProviders[std::max(0, m_wb_provider->currentIndex())];
  if (provider.empty()) return;
  if (const QString why = waybill_problem(); !why.isEmpty()) {
    m_wb_result->setStyleSheet(QStringLiteral("color: red"));
    m_wb_result->setText(why);
    return;
  }
  const waybill::Account account = account_of(provider, m_wb, m_wb_pay->currentIndex() + 1);
  m_wb_test->setEnabled(false);
  m_wb_result->setStyleSheet({});
  m_wb_result->setText(u("正在问面单账户…"));
  // The request blocks: it runs beside the dialog, which stays usable.
  QPointer<SettingsDialog> self(this);
  std::thread([self, account] {
    const std::pair<bool, std::string> result =
        waybill::probe_account(account, waybill::http_post(nullptr));
    const bool ok = result.first;
    const QString said = QString::fromStdString(result.second);
    QMetaObject::invokeMethod(qApp, [self, ok, said] {
      if (!self) return;
      self->m_wb_test->setEnabled(true);
      self->m_wb_result->setStyleSheet(ok ? QStringLiteral("color: green")
                                          : QStringLiteral("color: red"));
      self->m_wb_result->setText(said);
    });
  }).detach();
}

QString SettingsDialog::waybill_problem() const {
  const std::string provider = kProviders[std::max(0, m_wb_provider->currentIndex())];
  if (provider.empty()) return {};
  for (const WaybillKey& k : kWaybillKeys)
    if (has_blank(m_wb.at(k.key)->text()))
      return u("电子面单的") + u(k.caption).chopped(1) + u("里不能有空格");
  const QString endpoint = m_wb.at("endpoint")->text().trimmed();
  if (!endpoint.isEmpty()) {
    const QUrl url(endpoint, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u("http") && url.scheme() != u("https")) ||
        url.host().isEmpty())
      return u("电子面单接口地址要写成 https://…（空着就用服务商的）");
  }
  const QString courier = m_wb.at("courier")->text().trimmed();
  for (QChar c : courier)
    if (c.unicode() > 0x7F) return u("电子面单的快递公司要填代码，不是名称：“%1”").arg(courier);
  return {};
}

QString SettingsDialog::waybill_warning() const {
  const std::string provider = kProviders[std::max(0, m_wb_provider->currentIndex())];
  if (provider.empty()) return {};
  if (const std::string problem =
          waybill::account_problem(account_of(provider, m_wb, m_wb_pay->currentIndex() + 1));
      !problem.empty())
    return QString::fromStdString(problem);
  const std::string courier = m_wb.at("courier")->text().trimmed().toStdString();
  if (waybill::courier_name(provider, courier).empty())
    return u("电子面单的快递公司代码“%1”不认识，请核对。").arg(QString::fromStdString(courier));
  return {};
}

bool SettingsDialog::save_waybill() {
  const std::string provider = kProviders[std::max(0, m_wb_provider->currentIndex())];
  const Text section = "waybill";
  bool ok = m_settings.write_setting("provider", provider, section);
  PasswordKeeper* keeper = m_settings.password_keeper();
  for (const WaybillKey& k : kWaybillKeys) {
    Text value = tx(m_wb.at(k.key)->text().trimmed());
    // A secret goes where the passwords go: the keyring, filed under its owner's value.
    if (k.owner && keeper && !value.empty()) {
      const Text owner = tx(m_wb.at(k.owner)->text().trimmed());
      if (!owner.empty() && keeper->write(owner, std::string("waybill/") + k.key, value))
        value.clear();
    }
    ok = ok && m_settings.write_setting(k.key, value, section);
  }
  ok = ok &&
       m_settings.write_setting("pay_type", std::to_string(m_wb_pay->currentIndex() + 1), section);
  if (!ok) return false;
  printing::remember_label_paper(m_settings,
                                 printing::kPapers[std::max(0, m_label_paper->currentIndex())]);
  printing::remember_printer(m_settings, "label_printer", m_label_printer->currentText().trimmed());
  printing::remember_printer(m_settings, "paper_printer", m_paper_printer->currentText().trimmed());
  return true;
}

void SettingsDialog::show_entry(int row) {
  m_shown = row;
  const bool any = row >= 0 && row < static_cast<int>(m_entries.size());
  const Shop shown = any ? m_entries[row].shop : Shop{};
  m_label->setText(qs(shown.label));
  m_backoffice->setText(qs(shown.hosts.backoffice));
  m_images->setText(qs(shown.hosts.images));
  m_tracking->setText(qs(shown.hosts.tracking));
  m_account->setText(qs(shown.account));
  m_password->setText(qs(shown.password));
  for (QWidget* w : std::initializer_list<QWidget*>{m_label, m_backoffice, m_images, m_tracking, m_account,
                                                    m_password, m_test})
    w->setEnabled(any);
  m_remove->setEnabled(any && !shown.first);  // the first shop is the file's own
  m_test_result->clear();
}

void SettingsDialog::take_fields() {
  if (m_shown < 0 || m_shown >= static_cast<int>(m_entries.size())) return;
  Shop& shop = m_entries[m_shown].shop;
  shop.label = tx(m_label->text().trimmed());
  shop.hosts = {tx(m_backoffice->text().trimmed()), tx(m_images->text().trimmed()),
                tx(m_tracking->text().trimmed())};
  shop.account = tx(m_account->text());
  shop.password = tx(m_password->text());
  if (QListWidgetItem* item = m_list->item(m_shown)) item->setText(qs(shop.label));
}

void SettingsDialog::add_shop() {
  int n = static_cast<int>(m_entries.size()) + 1;
  Text label;
  for (;; ++n) {
    label = gbk("店铺") + std::to_string(n);
    bool taken = false;
    for (const Entry& e : m_entries) taken = taken || e.shop.label == label;
    if (!taken) break;
  }
  m_entries.push_back({Shop{label, {}, {}, {}, false}, {}});
  m_list->addItem(qs(label));
  m_list->setCurrentRow(static_cast<int>(m_entries.size()) - 1);
  m_backoffice->setFocus();
  revalidate();
}

void SettingsDialog::remove_shop() {
  if (m_shown < 0 || m_shown >= static_cast<int>(m_entries.size()) || m_entries[m_shown].shop.first) return;
  if (!m_entries[m_shown].saved_label.empty()) m_removed.push_back(m_entries[m_shown].saved_label);
  m_entries.erase(m_entries.begin() + m_shown);
  delete m_list->takeItem(m_shown);
  m_list->setCurrentRow(std::min<int>(m_shown, static_cast<int>(m_entries.size()) - 1));
  revalidate();
}

void SettingsDialog::test_connection() {
  if (m_shown < 0 || !m_check) return;
  take_fields();
  if (const Text why = host_problem(m_entries[m_shown].shop.hosts.backoffice); !why.empty()) {
    m_test_result->setText(u("后台：") + qs(why));
    return;
  }
  m_test->setEnabled(false);
  m_test_result->setText(u("正在登录…"));
  // The login's requests block: they run beside the dialog, which stays usable.
  QPointer<SettingsDialog> self(this);
  std::thread([self, check = m_check, shop = m_entries[m_shown].shop, row = m_shown] {
    const std::pair<bool, Text> result = check(shop);
    const bool ok = result.first;  // named copies: a lambda may not capture a structured binding
    const Text said = result.second;
    QMetaObject::invokeMethod(qApp, [self, ok, said, row] {
      if (!self) return;
      self->m_test->setEnabled(true);
      if (self->m_shown != row) return;
      self->m_test_result->setStyleSheet(ok ? QStringLiteral("color: green") : QStringLiteral("color: red"));
      self->m_test_result->setText(qs(said));
    });
  }).detach();
}

QString SettingsDialog::problem() const {
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    const Shop& shop = m_entries[i].shop;
    const QString who = u("店铺“") + qs(shop.label) + u("”");
    if (shop.label.empty()) return u("有一个店铺没有名称");
    if (shop.label.find_first_of("[]=\r\n\t") != Text::npos)
      return who + u("：名称里不能有方括号、等号或换行");
    if (shop.label == all_shops_label()) return u("“全部店铺”是留给所有店铺的，不能做店铺名称");
    for (std::size_t j = 0; j < i; ++j)
      if (web::to_lower(m_entries[j].shop.label) == web::to_lower(shop.label))
        return u("有两个店铺都叫“") + qs(shop.label) + u("”");
    const std::pair<const char*, const Text*> hosts[] = {
        {"后台", &shop.hosts.backoffice}, {"图片", &shop.hosts.images}, {"物流查询", &shop.hosts.tracking}};
    for (const auto& [name, host] : hosts)
      if ((!host->empty() || host == &shop.hosts.backoffice))
        if (const Text why = host_problem(*host); !why.empty()) return who + u("的") + u(name) + u("主机：") + qs(why);
  }
  if (const QString why = waybill_problem(); !why.isEmpty()) return why;
  if (const QString why = m_store->problem(); !why.isEmpty()) return why;
  if (has_blank(m_key->text())) return u("快递100 key 里不能有空格");
  if (has_blank(m_courier->text())) return u("查询用快递公司的代码里不能有空格");
  // A code is letters and digits ("yuantong"); a Chinese name is sent as it
  // is and the tracking service answers nothing useful.
  const QString courier = m_courier->text().trimmed();
  for (QChar c : courier)
    if (c.unicode() > 0x7F) {
      const Text code = fulfilment::courier_code_named(tx(courier));
      return u("查询用快递公司要填代码，不是名称：") +
             (code.empty() ? u("“%1”请改成它的代码（见“快递代码”页）").arg(courier)
                           : u("“%1”请填 %2").arg(courier, qs(code)));
    }
  return {};
}

QString SettingsDialog::warning() const {
  if (const QString why = waybill_warning(); !why.isEmpty()) return why;
  if (m_key->text().trimmed().isEmpty()) return u("快递100 key 还是空的：不填就查不了物流。");
  const QString courier = m_courier->text().trimmed();
  if (!courier.isEmpty() && !fulfilment::is_listed_courier_code(tx(courier)))
    return u("“%1”不是“快递代码”页上的代码，请核对。").arg(courier);
  return {};
}

void SettingsDialog::revalidate() {
  const QString why = problem();
  m_problem->setStyleSheet(why.isEmpty() ? QStringLiteral("color: #a05a00")
                                         : QStringLiteral("color: red"));
  m_problem->setText(why.isEmpty() ? warning() : why);
  m_save->setEnabled(why.isEmpty());
}

bool SettingsDialog::save() {
  take_fields();
  if (const QString why = problem(); !why.isEmpty()) {
    revalidate();
    return false;
  }
  Text error;
  bool ok = true;
  for (const Text& label : m_removed) ok = ok && (app::remove_shop(m_settings, label, &error) || !find_shop(m_settings, label));
  for (const Entry& e : m_entries)
    ok = ok && save_shop(m_settings, e.shop, &error, e.shop.first ? Text() : e.saved_label);
  auto number = [this](const NumberSetting& s, const QSpinBox* box) {
    return m_settings.write_setting(gbk(s.key), std::to_string(box->value()), gbk(s.section));
  };
  ok = ok && m_settings.write_setting(gbk("快递100sky"), tx(m_key->text())) &&
       m_settings.write_setting(gbk("快递类型"), tx(m_courier->text())) && number(kConnections, m_connections) &&
       number(kReuse, m_reuse) && number(kInterval, m_interval_ms) && number(kReminder, m_reminder) &&
       number(kLateHours, m_late) && number(kKeepDays, m_keep) &&
       m_settings.write_setting(gbk("mask_phone"), m_mask->isChecked() ? "1" : "0", gbk("print"));
  ok = ok && save_waybill() && m_store->save();
  if (ok) printing::remember_paper(m_settings, printing::kPapers[std::max(0, m_paper->currentIndex())]);
  if (!ok) {
    m_problem->setStyleSheet(QStringLiteral("color: red"));
    m_problem->setText(error.empty() ? u("配置文件写不进去：") + QString::fromStdString(m_settings.path().string())
                                     : qs(error));
    return false;
  }
  // Saved: the shops now stand under their new labels.
  for (Entry& e : m_entries) e.saved_label = e.shop.label;
  m_removed.clear();
  return true;
}

}  // namespace app
