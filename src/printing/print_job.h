#pragma once
// What is printed: the orders (each table row with every goods line), where
// they came from, the store's name and logo; and how: the document, paper,
// orientation and the documents' own choices.
//
// Usage: PrintJob job = gather_print_job(ctx, keys, Document::PackingSlips, source);
//        write_pdf(path, job, options, &error);

#include <QDateTime>
#include <QPageLayout>

#include <vector>

#include "core/form.h"
#include "core/goods_lines.h"
#include "core/table_snapshot.h"
#include "printing/paper.h"

namespace printing {

enum class Document { PickList, PackingSlips };

// 发货单 / 拣货单.
QString document_title(Document document);

// One order as a table row (system text) and its goods lines.
struct PrintOrder {
  app::OrderRow row;
  std::vector<app::GoodsLine> lines;
  app::RowKey key = 0;  // its row in the order table (0: not from the table)
};

// The number an order is printed, encoded and named by: its 订单号, else its ID.
inline web::Text order_number_of(const app::OrderRow& row) {
  web::Text no = app::cell_of(row, app::kColOrderNo);
  return no.empty() ? app::cell_of(row, app::kColId) : no;
}

struct PrintJob {
  Document document = Document::PackingSlips;
  std::vector<PrintOrder> orders;
  // Orders left out because their details are unknown (order number, else ID).
  std::vector<web::Text> left_out;
  web::Text source;      // which orders these are, as the header says it
  web::Text store_name;  // empty: the mall's name stands in
  web::Bytes logo;       // picture file bytes; empty or unreadable: no logo
};

enum class PickSort { ByName, ByQuantity };

struct PrintOptions {
  Paper paper = Paper::A4;
  QPageLayout::Orientation orientation = QPageLayout::Portrait;
  bool mask_phone = true;        // slips: 138****5678
  bool order_numbers = false;    // pick list: a column of the orders holding each goods
  PickSort sort = PickSort::ByName;
  QDateTime printed_at = QDateTime::currentDateTime();
};

}  // namespace printing
