#pragma once
// The courier's label for one parcel (电子面单), in our own layout: the
// courier's name, the waybill number as a large Code 128 and in figures, 大头笔
// large, 集包地 and the sorting code, the receiver (name bold, telephone masked
// as on the slips, the whole address), the sender, the goods and their count,
// the order number with a small Code 128 (扫描发货 reads it), the print time.
// One label per page, always whole: long texts shrink, never spill onto a
// second label. Barcodes are vectors, sharp on a 203 dpi thermal printer.
//
// Usage: std::vector<LabelData> labels = ...;
//        if (!write_labels_pdf(path, labels, Paper::Label100x150, true, &error)) say(error);

#include <QDateTime>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QString>

#include <vector>

#include "printing/paper.h"

namespace printing {

struct LabelData {
  QString courier_name;  // 圆通速递 (else the courier's code)
  QString waybill_number;
  QString big_pen;       // 大头笔
  QString package_name;  // 集包地
  QString package_code;
  QString sorting_code;
  QString receiver_name, receiver_phone, receiver_address;
  QString sender_name, sender_phone, sender_address;
  QString goods;  // the goods summary ("有机五常大米 5kg等3件")
  int count = 1;
  QString order_no;
  QDateTime printed_at = QDateTime::currentDateTime();
};

// Paints one label per page on `device` (already set to `paper`), `painter`
// active on it. Returns the number of pages painted.
int paint_labels(QPagedPaintDevice& device, QPainter& painter, const std::vector<LabelData>& labels,
                 Paper paper, bool mask_phone);

// The labels as a PDF file at `path`, on `paper`: whole or not at all; false
// with `error` (for the merchant) when it could not be written.
bool write_labels_pdf(const QString& path, const std::vector<LabelData>& labels, Paper paper,
                      bool mask_phone, QString* error);

}  // namespace printing
