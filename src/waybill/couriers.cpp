#include "waybill/couriers.h"

#include <algorithm>
#include <vector>

#include "builtin_data.h"

namespace waybill {

namespace {

struct Row {
  std::string mall, kuaidi100, kdniao, name;
};

bool same_ignoring_case(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

const std::vector<Row>& rows() {
  static const std::vector<Row> table = [] {
    std::vector<Row> out;
    std::string_view text = kBuiltinWaybillCouriers;
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.empty() || line.front() == '#') continue;
      std::vector<std::string> cells;
      for (std::size_t from = 0;;) {
        const std::size_t tab = line.find('\t', from);
        std::string cell(line.substr(from, tab == std::string_view::npos ? tab : tab - from));
        cells.push_back(cell == "-" ? std::string() : cell);
        if (tab == std::string_view::npos) break;
        from = tab + 1;
      }
      if (cells.size() == 4) out.push_back({cells[0], cells[1], cells[2], cells[3]});
    }
    return out;
  }();
  return table;
}

// The provider's column of a row; null for a provider the table does not have.
const std::string* code_of(const Row& row, std::string_view provider) {
  if (provider == "kuaidi100") return &row.kuaidi100;
  if (provider == "kdniao") return &row.kdniao;
  return nullptr;
}

const Row* find(std::string_view provider, std::string_view code) {
  if (code.empty()) return nullptr;
  for (const Row& row : rows()) {
    const std::string* own = code_of(row, provider);
    if (own && !own->empty() && same_ignoring_case(*own, code)) return &row;
  }
  return nullptr;
}

}  // namespace

std::string mall_courier(std::string_view provider, std::string_view code) {
  const Row* row = find(provider, code);
  return row ? row->mall : std::string();
}

std::string courier_name(std::string_view provider, std::string_view code) {
  const Row* row = find(provider, code);
  return row ? row->name : std::string();
}

std::string provider_courier(std::string_view provider, std::string_view mall_code) {
  if (mall_code.empty()) return {};
  for (const Row& row : rows()) {
    const std::string* own = code_of(row, provider);
    if (own && !own->empty() && row.mall == mall_code) return *own;
  }
  return {};
}

}  // namespace waybill
