#pragma once
// 扫描发货: shipping parcel by parcel with a barcode scanner. One input line
// takes the scanner's keys (ASCII, then Enter) past any input method. The
// first scan, an order number or ID, selects that row and shows it large
// (every goods line with its 规格 and quantity); the next one is the
// parcel's tracking number, and the row is shipped with it at once. A scan
// that names an order again switches to that order, so a slip scanned twice
// is never sent as a tracking number. Each result rings the desktop's bell
// (once: shipped; twice: anything else) and shows as a coloured line, which
// carries it where there is no sound. Leaving tells how many rows were
// shipped and which to-ship rows were not (漏发). The courier (编辑框12) can
// be changed in it for the parcels that follow.
//
// With an e-waybill account (section `waybill`) one scan is one parcel: the
// packing slip's order number gets the order's waybill (its own again when
// it has one), its label printed at once on the label printer, and the
// order shipped with it. What the mode refuses otherwise it still refuses;
// an unknown waybill is refused until settled; a shipped order's slip
// scanned again prints its label again and ships nothing.
//
// Usage: auto* scan = new ScanMode(window, model, ops, select_row, form);
//        scan->open();   // window-modal; deletes itself when left

#include <QDialog>
#include <QString>

#include <functional>
#include <set>

#include "core/form.h"
#include "app/wiring/operations.h"

class QLabel;
class QLineEdit;
class QListWidget;

namespace app {

class ReportModel;

class ScanMode : public QDialog {
  Q_OBJECT

 public:
  ScanMode(QWidget* parent, ReportModel& table, Operations ops,
           std::function<void(int row)> select_row, Form& form);

  // Prints one label on the label printer without a dialog; false with the reason.
  using LabelPrinter = std::function<bool(const printing::LabelData&, QString* error)>;
  void set_label_printer(LabelPrinter print) { m_print_label = std::move(print); }
  bool prints_waybills() const { return m_waybills; }

  QLineEdit* input() const { return m_input; }
  QLineEdit* courier() const { return m_courier; }
  // The last scan's result as shown: good (green) or not, and the bells rung.
  struct Result {
    bool good = false;
    int bells = 0;
    QString text;
  };
  const Result& last_result() const { return m_last; }
  int shipped() const { return static_cast<int>(m_shipped.size()); }
  // Order numbers of the rows still to ship that this mode did not ship:
  // never scanned (漏发), and scanned but failed.
  QStringList missed() const;
  QStringList failed() const;
  // The scanner's text as taken: trimmed, full-width forms made ASCII.
  static Text scanned_text(const QString& typed);

  void done(int result) override;

 private:
  void take(const Text& code);
  void take_order(int row);
  void take_tracking(const Text& tracking);
  // One scan, one parcel: the waybill, its label, the shipment.
  void take_waybill_order(int row, const Text& refusal);
  // The courier box's text becomes 编辑框12 (the courier of the next parcels).
  void take_courier();
  int find_order(const Text& code) const;
  bool to_ship(int row) const;
  void show_result(bool good, const QString& text);
  void show_order(int row);
  // No order waits: the card no longer shows one.
  void show_no_order();
  QString tally() const;

  ReportModel& m_table;
  Operations m_ops;
  std::function<void(int)> m_select_row;
  Form& m_form;
  QLineEdit* m_input;
  QLineEdit* m_courier;
  QLabel* m_order;   // the scanned order, large
  QLabel* m_result;  // the last result, coloured
  QLabel* m_count;
  QListWidget* m_history;
  RowKey m_current = 0;  // the order waiting for its tracking number
  std::set<RowKey> m_shipped, m_attempted;
  Result m_last;
  bool m_done = false;
  bool m_waybills = false;  // an e-waybill account is set
  LabelPrinter m_print_label;
};

}  // namespace app
