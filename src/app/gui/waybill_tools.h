#pragma once
// The window's side of 取号打印: the question before a run (how many orders
// can get an e-waybill, which provider and courier, which label printer, the
// rows that cannot and why), and the labels sent to the label printer.
//
// Usage: WaybillAnswer a = ask_waybill_dialog(window, plan, ship, printers, chosen);
//        if (a.go) print_waybill_labels(window, labels, a.printer, paper, mask, a.preview, &error);

#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

#include "printing/label.h"
#include "waybill/waybill_batch.h"

namespace app {

struct WaybillAnswer {
  bool go = false;
  QString printer;  // the label printer chosen
  bool preview = false;
};

WaybillAnswer ask_waybill_dialog(QWidget* parent, const waybill::WaybillPlan& plan, bool ship,
                                 const QStringList& printers, const QString& chosen);

// Prints `labels` on `printer` (a printer's name; a path ending in ".pdf"
// writes that PDF file instead), a preview first when `preview`. False with
// `error` when nothing was printed.
bool print_waybill_labels(QWidget* parent, const std::vector<printing::LabelData>& labels,
                          const QString& printer, printing::Paper paper, bool mask_phone,
                          bool preview, QString* error);

}  // namespace app
