#include "app/gui/scan_mode.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>

#include "app/gui/dialog_buttons.h"
#include "app/gui/qt_text.h"
#include "app/gui/report_model.h"

namespace app {

namespace {

constexpr int kNamedRows = 50;  // rows named in the closing tally, per list

// The scanner's line: it takes the keys itself (no input method composes
// them) and hands the line over on Enter, which the dialog never sees (it
// would press a button).
class ScanInput : public QLineEdit {
 public:
  explicit ScanInput(QWidget* parent) : QLineEdit(parent) {
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setInputMethodHints(Qt::ImhPreferLatin | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
  }
  std::function<void(const QString&)> on_scan;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
      return QLineEdit::keyPressEvent(event);
    event->accept();
    const QString line = text();
    clear();
    if (on_scan) on_scan(line);
  }
};

void set_pixel_font(QWidget* w, int pixels, bool bold = false) {
  QFont f = w->font();
  f.setPixelSize(pixels);
  f.setBold(bold);
  w->setFont(f);
}

QString listed(const QStringList& names) {
  QStringList shown = names.mid(0, kNamedRows);
  if (names.size() > kNamedRows) shown << u("……");
  return shown.join(u("、"));
}

}  // namespace

ScanMode::ScanMode(QWidget* parent, ReportModel& table, Operations ops,
                   std::function<void(int row)> select_row, Form& form)
    : QDialog(parent),
      m_table(table),
      m_ops(std::move(ops)),
      m_select_row(std::move(select_row)),
      m_form(form) {
  setObjectName(u("扫描发货"));
  setWindowTitle(u("扫描发货"));
  auto* layout = new QVBoxLayout(this);
  m_waybills = m_ops.waybill_courier && !m_ops.waybill_courier().empty() && m_ops.order_waybills;
  auto* hint = new QLabel(
      m_waybills ? u("扫发货单上的订单号：取电子面单、在标签打印机上打印面单、发货，一扫一单。")
                 : u("先扫订单号（或ID），再扫这个包裹的快递单号，扫完即发货。"),
      this);
  hint->setWordWrap(true);
  layout->addWidget(hint);
  // The courier goes with the parcels: a packer who changes couriers midway
  // changes it here, for the next parcels.
  auto* shipping = new QHBoxLayout;
  shipping->addWidget(new QLabel(u("发货快递："), this));
  m_courier = new QLineEdit(qs(form.text("编辑框12")), this);
  m_courier->setObjectName(u("扫描快递"));
  m_courier->setToolTip(u("快递代码（见“快递代码”页），改好按回车，再接着扫描"));
  m_courier->setMaximumWidth(140);
  connect(m_courier, &QLineEdit::editingFinished, this, &ScanMode::take_courier);
  shipping->addWidget(m_courier);
  shipping->addSpacing(16);
  shipping->addWidget(new QLabel(u("发货ID：%1").arg(qs(form.text("编辑框13"))), this));
  shipping->addStretch(1);
  layout->addLayout(shipping);

  auto* input = new ScanInput(this);
  input->setObjectName(u("扫描框"));
  input->setPlaceholderText(u("扫描枪扫到这里"));
  set_pixel_font(input, 22);
  input->on_scan = [this](const QString& line) { take(scanned_text(line)); };
  m_input = input;
  layout->addWidget(m_input);

  m_order = new QLabel(this);
  m_order->setObjectName(u("扫描订单"));
  m_order->setWordWrap(true);
  m_order->setTextFormat(Qt::PlainText);
  m_order->setMinimumHeight(120);
  m_order->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  set_pixel_font(m_order, 24, true);
  show_no_order();
  layout->addWidget(m_order);

  m_result = new QLabel(this);
  m_result->setObjectName(u("扫描结果"));
  m_result->setWordWrap(true);
  m_result->setTextFormat(Qt::PlainText);
  set_pixel_font(m_result, 18, true);
  layout->addWidget(m_result);

  m_count = new QLabel(u("这次已发货0单"), this);
  layout->addWidget(m_count);
  m_history = new QListWidget(this);
  layout->addWidget(m_history, 1);

  auto* leave = new QPushButton(u("结束扫描"), this);
  leave->setAutoDefault(false);
  connect(leave, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(leave, 0, Qt::AlignRight);
  resize_within_screen(*this, {640, 560});
  m_input->setFocus();
}

Text ScanMode::scanned_text(const QString& typed) {
  QString s = typed.normalized(QString::NormalizationForm_KC);  // "ＳＦ１２" from a full-width input mode
  s.remove(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f]")));
  return tx(s.trimmed());
}

void ScanMode::take(const Text& code) {
  if (code.empty()) {
    if (m_current == 0) show_no_order();
    return show_result(false, u("空的扫描：没有读到号码，请再扫一次"));
  }
  const int row = find_order(code);
  if (row >= 0) return take_order(row);
  if (m_current == 0) {
    show_no_order();
    return show_result(false, u("表格里没有这个订单：") + qs(code));
  }
  take_tracking(code);
}

void ScanMode::take_courier() {
  if (m_done) return;
  const QString courier = m_courier->text().trimmed();
  const QString before = qs(m_form.text("编辑框12"));
  if (courier == before) return m_input->setFocus();
  // Courier codes are letters: digits mean a parcel was scanned into the box.
  if (courier.isEmpty() || courier.contains(QRegularExpression(QStringLiteral("\\d")))) {
    m_courier->setText(before);
    m_input->setFocus();
    return show_result(
        false,
        u("快递代码“%1”不对，快递没有改（还是 %2）；扫描请扫在扫描框里").arg(courier, before));
  }
  m_form.set_text("编辑框12", tx(courier));
  m_courier->setText(courier);
  m_result->setStyleSheet({});
  m_result->setText(u("发货快递改为 %1，接下来的包裹用它发货").arg(courier));
  m_input->setFocus();
}

int ScanMode::find_order(const Text& code) const {
  for (int column : {kColOrderNo, kColId})
    for (int r = 0; r < m_table.size(); ++r)
      if (web::trim_spaces(m_table.cell(r, column)) == code) return r;
  return -1;
}

void ScanMode::take_order(int row) {
  m_current = 0;
  if (m_select_row) m_select_row(row);
  show_order(row);
  const QString order_no = qs(m_table.cell(row, kColOrderNo));
  const Text refusal = m_ops.scan_refusal ? m_ops.scan_refusal(row) : Text();
  if (m_waybills) return take_waybill_order(row, refusal);
  if (!refusal.empty())
    return show_result(false, u("订单 %1 %2，这次不发货").arg(order_no, qs(refusal)));
  m_current = m_table.row_key(row);
  m_last = {true, 0, u("订单 %1：请扫快递单号").arg(order_no)};
  m_result->setStyleSheet({});
  m_result->setText(m_last.text);
}

void ScanMode::take_tracking(const Text& tracking) {
  const int row = m_table.row_of_key(m_current);
  if (row < 0) {
    m_current = 0;
    show_no_order();
    return show_result(false, u("刚才扫的订单已经不在表格里了，请重新扫订单号"));
  }
  m_attempted.insert(m_current);
  m_result->setStyleSheet({});
  m_result->setText(u("正在发货……"));
  Text said = web::gbk("发货不可用");
  const bool shipped = m_ops.ship_scanned_row && m_ops.ship_scanned_row(row, tracking, &said);
  // The row may have moved while the request was out; its key still names it.
  const int now = m_table.row_of_key(m_current);
  const QString order_no = now >= 0 ? qs(m_table.cell(now, kColOrderNo)) : QString();
  const QString line = u("订单 %1 快递单号 %2：%3").arg(order_no, qs(tracking), qs(said));
  if (shipped) {
    m_shipped.insert(m_current);
    m_current = 0;  // the next scan is the next order
  }
  show_result(shipped, line);
}

void ScanMode::take_waybill_order(int row, const Text& refusal) {
  const QString order_no = qs(m_table.cell(row, kColOrderNo));
  const std::string id = web::gbk_to_utf8(m_table.cell(row, kColId));
  const RowKey key = m_table.row_key(row);
  auto print = [this](const printing::LabelData& label, QString* error) {
    if (!m_print_label) {
      *error = u("没有标签打印机");
      return false;
    }
    return m_print_label(label, error);
  };
  if (!refusal.empty()) {
    // A shipped order's slip again: its label once more (a jammed label), nothing shipped.
    const printing::LabelData label =
        !to_ship(row) && m_ops.waybill_label ? m_ops.waybill_label(id) : printing::LabelData{};
    QString error;
    if (!label.waybill_number.isEmpty() && print(label, &error))
      return show_result(false, u("订单 %1 %2：面单 %3 已重新打印，没有再发货")
                                    .arg(order_no, qs(refusal), label.waybill_number));
    return show_result(false, u("订单 %1 %2，这次不发货").arg(order_no, qs(refusal)));
  }
  m_attempted.insert(key);
  m_result->setStyleSheet({});
  m_result->setText(u("正在取面单……"));
  // The label is printed before the parcel ships: no parcel leaves without one.
  const std::vector<waybill::WaybillOutcome> ordered = m_ops.order_waybills({key}, false);
  if (ordered.empty() || ordered.front().waybill.empty()) {
    const QString why = ordered.empty() ? u("没有取到面单")
                        : ordered.front().result == "unknown"
                            ? u("面单不明，请先核对（右键菜单“核对面单…”）")
                            : u("没有取到面单：") + QString::fromStdString(ordered.front().reason);
    return show_result(false, u("订单 %1 %2，这次不发货").arg(order_no, why));
  }
  const waybill::WaybillOutcome& o = ordered.front();
  QString error;
  if (!print(o.label, &error))
    return show_result(false, u("订单 %1 面单 %2 没有打印（%3），这次不发货")
                                  .arg(order_no, QString::fromStdString(o.waybill), error));
  if (m_ops.mark_labels_printed) m_ops.mark_labels_printed(ordered);
  const std::vector<waybill::WaybillOutcome> shipped = m_ops.order_waybills({key}, true);
  const bool good = !shipped.empty() && shipped.front().shipped;
  if (good) m_shipped.insert(key);
  const QString why =
      shipped.empty() ? u("发货不可用") : QString::fromStdString(shipped.front().ship_reason);
  show_result(good, u("订单 %1 面单 %2：%3")
                        .arg(order_no, QString::fromStdString(o.waybill),
                             good ? u("已打印，发货成功") : u("已打印，没有发货：") + why));
}

void ScanMode::show_order(int row) {
  const auto c = [&](int column) { return qs(m_table.cell(row, column)); };
  QString text = u("订单号 %1\n收货人 %2　%3\n地址 %4")
                     .arg(c(kColOrderNo), c(kColConsignee), c(kColPhone), c(kColAddress));
  // Every goods line the order has, so no item is left out of the parcel.
  const OrderRow cells = m_table.row(row);
  const std::vector<GoodsLine> lines = m_ops.order_extras
                                           ? m_ops.order_extras(cells).lines
                                           : goods_lines_of_row(GoodsLineBook(), cells);
  if (lines.size() > 1) text += u("\n商品 %1 种：").arg(lines.size());
  for (const GoodsLine& line : lines) {
    text += lines.size() > 1 ? u("\n　") : u("\n商品 ");
    text += qs(line.goods);
    if (!line.variant.empty()) text += u("（%1）").arg(qs(line.variant));
    text += u(" ×%1").arg(qs(line.quantity));
  }
  m_order->setText(text);
}

void ScanMode::show_no_order() {
  m_order->setText(u("等待扫描订单号"));
}

void ScanMode::show_result(bool good, const QString& text) {
  m_last = {good, good ? 1 : 2, text};
  QApplication::beep();
  if (!good) QTimer::singleShot(250, this, [] { QApplication::beep(); });
  const QColor colour = good ? kGreen : kRed;
  m_result->setText(text);
  m_result->setStyleSheet(QStringLiteral("color: white; background: %1; padding: 4px;").arg(colour.name()));
  auto* item = new QListWidgetItem(text);
  item->setForeground(colour);
  m_history->insertItem(0, item);
  m_count->setText(u("这次已发货%1单").arg(shipped()));
}

bool ScanMode::to_ship(int row) const {
  if (web::gbk_to_utf8(m_table.cell(row, kColShipStatus)).rfind("发货成功", 0) == 0) return false;
  const Text state = web::trim_spaces(m_table.cell(row, kColState));
  return state.empty() || state.find(web::gbk("待发货")) != Text::npos;
}

QStringList ScanMode::missed() const {
  QStringList names;
  for (int r = 0; r < m_table.size(); ++r)
    if (to_ship(r) && !m_attempted.count(m_table.row_key(r))) names << qs(m_table.cell(r, kColOrderNo));
  return names;
}

QStringList ScanMode::failed() const {
  QStringList names;
  for (int r = 0; r < m_table.size(); ++r)
    if (to_ship(r) && m_attempted.count(m_table.row_key(r))) names << qs(m_table.cell(r, kColOrderNo));
  return names;
}

QString ScanMode::tally() const {
  QString text = u("扫描发货结束：这次发货%1单。").arg(shipped());
  const QStringList not_shipped = failed(), never_scanned = missed();
  if (!not_shipped.isEmpty())
    text += u("\r\n发货没有成功%1单：").arg(not_shipped.size()) + listed(not_shipped);
  if (never_scanned.isEmpty())
    text += u("\r\n没有漏发的订单。");
  else
    text += u("\r\n漏发%1单（待发货，没有扫描）：").arg(never_scanned.size()) + listed(never_scanned);
  return text;
}

void ScanMode::done(int result) {
  if (m_done) return QDialog::done(result);
  m_done = true;
  const QString text = tally();
  QDialog::done(result);
  // The dashboard once at the end, not after every parcel: a request on the
  // UI thread would hold up the scanner's next keys.
  if (shipped() > 0 && m_ops.refresh_dashboard) m_ops.refresh_dashboard();
  m_form.message_box(tx(text));
}

}  // namespace app
