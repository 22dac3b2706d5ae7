#include "app/headless/memory_form.h"

#include <algorithm>

#include "core/columns.h"

namespace app {

using web::gbk;

MemoryForm::MemoryForm() {
  // The window as it is right after start-up, before any settings are read.
  const std::pair<const char*, const char*> initial[] = {{"按钮1", "登陆"},
                                                         {"按钮2", "总订单"},
                                                         {"按钮3", "待付款"},
                                                         {"按钮4", "待发货"},
                                                         {"按钮5", "待收货"},
                                                         {"按钮6", "取详情"},
                                                         {"按钮7", "开启新订单提醒"},
                                                         {"编辑框5", "10000"},
                                                         {"编辑框12", "huitong"},
                                                         {"编辑框11", "必须是100的整倍数"},
                                                         {"标签7", "销售中："},
                                                         {"标签8", "违规下架："},
                                                         {"标签9", "待审核："},
                                                         {"标签10", "仓库中："},
                                                         {"选择框1", "勾选弹出物流框"}};
  for (auto& [name, caption] : initial) m_texts[name] = gbk(caption);
  for (const char* b : {"按钮2", "按钮3", "按钮4", "按钮5", "按钮6"}) m_enabled[b] = false;
  m_checked["选择框1"] = true;
  m_title = gbk("蔚禾商城订单管理系统 V4.0   qq:604918273");
  for (const ListColumn& c : order_columns()) list(kOrderList).titles.push_back(gbk(c.title));
  for (const ListColumn& c : withdrawal_columns())
    list(kWithdrawalList).titles.push_back(gbk(c.title));
}

MemoryForm::~MemoryForm() {
  join_workers();
}

MemoryForm::List& MemoryForm::list(std::string_view name) {
  auto it = m_lists.find(name);
  if (it == m_lists.end()) it = m_lists.emplace(std::string(name), List{}).first;
  return it->second;
}

Text MemoryForm::text(std::string_view control) {
  std::lock_guard lock(m_mutex);
  auto it = m_texts.find(control);
  return it == m_texts.end() ? Text() : it->second;
}
void MemoryForm::set_text(std::string_view control, const Text& text) {
  std::lock_guard lock(m_mutex);
  m_texts[std::string(control)] = text;
}
Text MemoryForm::title() {
  std::lock_guard lock(m_mutex);
  return m_title;
}
void MemoryForm::set_title(const Text& title) {
  std::lock_guard lock(m_mutex);
  m_title = title;
}
void MemoryForm::set_enabled(std::string_view control, bool enabled) {
  std::lock_guard lock(m_mutex);
  m_enabled[std::string(control)] = enabled;
}
bool MemoryForm::is_enabled(std::string_view control) {
  std::lock_guard lock(m_mutex);
  auto it = m_enabled.find(control);
  return it == m_enabled.end() || it->second;
}
bool MemoryForm::is_checked(std::string_view control) {
  std::lock_guard lock(m_mutex);
  auto it = m_checked.find(control);
  return it != m_checked.end() && it->second;
}
void MemoryForm::set_sender_addresses(const std::vector<SenderAddress>& addresses) {
  std::lock_guard lock(m_mutex);
  m_sender_addresses = addresses;
}
std::vector<SenderAddress> MemoryForm::sender_addresses() {
  std::lock_guard lock(m_mutex);
  return m_sender_addresses;
}

void MemoryForm::show_status(const Text& text) {
  std::lock_guard lock(m_mutex);
  m_status = text;
}
Text MemoryForm::status() {
  std::lock_guard lock(m_mutex);
  return m_status;
}

void MemoryForm::set_checked(std::string_view control, bool checked) {
  std::lock_guard lock(m_mutex);
  m_checked[std::string(control)] = checked;
}
void MemoryForm::set_timer_interval(int milliseconds) {
  std::lock_guard lock(m_mutex);
  m_interval = milliseconds > 0 ? milliseconds : 0;
}
int MemoryForm::timer_interval() {
  std::lock_guard lock(m_mutex);
  return m_interval;
}

int MemoryForm::row_count(std::string_view name) {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(list(name).rows.size());
}
int MemoryForm::append_row(std::string_view name, const std::vector<Text>& cells) {
  std::lock_guard lock(m_mutex);
  List& l = list(name);
  OrderRow row(l.titles.size());
  for (size_t i = 0; i < cells.size() && i < row.size(); ++i) row[i] = cells[i];
  l.rows.push_back(std::move(row));
  l.keys.push_back(m_next_key++);
  return static_cast<int>(l.rows.size()) - 1;
}
Text MemoryForm::cell(std::string_view name, int row, int column) {
  std::lock_guard lock(m_mutex);
  List& l = list(name);
  if (row < 0 || row >= static_cast<int>(l.rows.size())) return {};
  if (column < 0 || column >= static_cast<int>(l.rows[row].size())) return {};
  return l.rows[row][column];
}
void MemoryForm::set_cell(std::string_view name, int row, int column, const Text& text) {
  std::lock_guard lock(m_mutex);
  List& l = list(name);
  if (row < 0 || row >= static_cast<int>(l.rows.size())) return;
  if (column < 0 || column >= static_cast<int>(l.rows[row].size())) return;
  l.rows[row][column] = text;
}
void MemoryForm::delete_row(std::string_view name, int row) {
  std::lock_guard lock(m_mutex);
  List& l = list(name);
  if (row < 0 || row >= static_cast<int>(l.rows.size())) return;
  l.rows.erase(l.rows.begin() + row);
  l.keys.erase(l.keys.begin() + row);
  if (l.selected == row)
    l.selected = -1;
  else if (l.selected > row)
    --l.selected;
}
void MemoryForm::clear_rows(std::string_view name) {
  std::lock_guard lock(m_mutex);
  List& l = list(name);
  l.rows.clear();
  l.keys.clear();
  l.selected = -1;
}
int MemoryForm::selected_row(std::string_view name) {
  std::lock_guard lock(m_mutex);
  return list(name).selected;
}
void MemoryForm::select_row(std::string_view name, int row) {
  std::lock_guard lock(m_mutex);
  List& l = list(name);
  l.selected = row >= 0 && row < static_cast<int>(l.rows.size()) ? row : -1;
}
int MemoryForm::column_count(std::string_view name) {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(list(name).titles.size());
}
Text MemoryForm::column_title(std::string_view name, int column) {
  std::lock_guard lock(m_mutex);
  List& l = list(name);
  if (column < 0 || column >= static_cast<int>(l.titles.size())) return {};
  return l.titles[column];
}
void MemoryForm::append_column(std::string_view name, const Text& title, int) {
  std::lock_guard lock(m_mutex);
  List& l = list(name);
  l.titles.push_back(title);
  for (auto& row : l.rows) row.emplace_back();
}
std::vector<OrderRow> MemoryForm::rows(std::string_view name) {
  std::lock_guard lock(m_mutex);
  return list(name).rows;
}
void MemoryForm::replace_rows(std::string_view name, const std::vector<OrderRow>& rows) {
  std::lock_guard lock(m_mutex);
  clear_rows(name);
  for (const auto& row : rows) append_row(name, row);
}
RowKey MemoryForm::row_key(std::string_view name, int row) {
  std::lock_guard lock(m_mutex);
  List& l = list(name);
  if (row < 0 || row >= static_cast<int>(l.keys.size())) return 0;
  return l.keys[row];
}
int MemoryForm::row_of_key(std::string_view name, RowKey key) {
  std::lock_guard lock(m_mutex);
  const List& l = list(name);
  const auto it = std::find(l.keys.begin(), l.keys.end(), key);
  return it == l.keys.end() || key == 0 ? -1 : static_cast<int>(it - l.keys.begin());
}
bool MemoryForm::set_cells_by_key(std::string_view name, RowKey key, int first_column,
                                const std::vector<Text>& texts) {
  std::lock_guard lock(m_mutex);
  List& l = list(name);
  for (size_t r = 0; r < l.keys.size(); ++r) {
    if (l.keys[r] != key) continue;
    for (size_t i = 0; i < texts.size(); ++i) {
      size_t c = first_column + i;
      if (c < l.rows[r].size()) l.rows[r][c] = texts[i];
    }
    return true;
  }
  return false;
}

void MemoryForm::start_worker(std::function<void()> operation) {
  std::lock_guard lock(m_workers_mutex);
  m_workers.emplace_back(std::move(operation));
}
void MemoryForm::join_workers() {
  for (;;) {
    std::vector<std::thread> workers;
    {
      std::lock_guard lock(m_workers_mutex);
      workers.swap(m_workers);
    }
    if (workers.empty()) return;
    for (auto& t : workers) t.join();
  }
}
}  // namespace app
