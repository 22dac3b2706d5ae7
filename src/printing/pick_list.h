#pragma once
// The pick list's figures: every goods line of every order summed by goods
// name and 规格, in pinyin order (or most wanted first), with the totals the
// list ends with. Quantities are whole numbers as the lines hold them
// ("2", "２", "2件"); a line whose quantity cannot be read is counted apart
// and shown, never guessed.
//
// Usage: PickList list = make_pick_list(job.orders, PickSort::ByName);

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "printing/print_job.h"

namespace printing {

struct PickEntry {
  QString goods, variant;
  long long quantity = 0;
  int unread_quantities = 0;  // lines of this goods whose quantity is not a number
  int orders = 0;
  QStringList order_nos;      // each order once, in the order given
};

struct PickList {
  std::vector<PickEntry> entries;
  int orders = 0;
  int lines = 0;
  long long items = 0;
};

PickList make_pick_list(const std::vector<PrintOrder>& orders, PickSort sort);

// "13812345678" -> "138****5678": the middle four digits hidden, other characters kept.
QString masked_phone(const QString& phone);

}  // namespace printing
