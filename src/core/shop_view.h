#pragma once
// One shop's view of the window when the window serves every shop at once
// (全部店铺). The operations then run for each shop in turn on its own view,
// unchanged: the order table looks to them as if it held only that shop's
// rows (those whose 店铺 column holds the shop's label; the rows a list
// fetch appends get it), the account boxes hold the shop's own account, and
// what belongs to the shop alone (its dashboard figures, its sender id, its
// title) is kept here for the window to sum up instead of being written.
// 序号 numbers the whole table once (1..n), whichever shop's each row is.
// While another shop is chosen the view is detached: the shop's operations
// (the reminder's polls) see an empty order table and write nothing of the
// window's, only what they say (speech, log, notifications). Otherwise (the
// shop is the one chosen) the view passes everything to the window.
//
// Usage: ShopView view(window, label, merged);   // merged: the window's flag
//        Context ctx{view, settings, hosts};      // the shop's operations on it
//        view.on_change([&] { show_sums(); });

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "core/form.h"

namespace app {

class ShopView : public Form {
 public:
  ShopView(Form& window, Text label, const std::atomic<bool>& merged);

  const Text& label() const { return m_label; }
  bool merged() const { return m_merged.load(); }
  // Another shop is chosen: this one polls in the background, on no table.
  void set_detached(bool detached) { m_detached = detached; }
  // What 编辑框1 and 编辑框2 read while merged.
  void set_account(const Text& account, const Text& password);
  // What the shop's operations wrote for it alone while merged: 标签3 to
  // 标签10, 编辑框13 and the title ("" when never written).
  Text kept(std::string_view control);
  // Called (on any thread) after something kept changed.
  void on_change(std::function<void()> changed) { m_changed = std::move(changed); }
  // The view's index of a window row (-1: not this shop's).
  int view_row(int window_row);

  Text text(std::string_view control) override;
  void set_text(std::string_view control, const Text& text) override;
  Text title() override;
  void set_title(const Text& title) override;
  void set_enabled(std::string_view control, bool enabled) override;
  bool is_enabled(std::string_view control) override;
  bool is_checked(std::string_view control) override;
  void set_progress(int position) override;
  void set_timer_interval(int milliseconds) override;
  int timer_interval() override;
  void set_picture(const Bytes& image) override;
  void set_picture_mode(int mode) override;

  int row_count(std::string_view list) override;
  int append_row(std::string_view list, const std::vector<Text>& cells = {}) override;
  Text cell(std::string_view list, int row, int column) override;
  void set_cell(std::string_view list, int row, int column, const Text& text) override;
  void delete_row(std::string_view list, int row) override;
  void clear_rows(std::string_view list) override;
  void scroll_to_row(std::string_view list, int row) override;
  int selected_row(std::string_view list) override;
  int column_count(std::string_view list) override;
  Text column_title(std::string_view list, int column) override;
  void append_column(std::string_view list, const Text& title, int width) override;
  std::vector<OrderRow> rows(std::string_view list) override;
  void replace_rows(std::string_view list, const std::vector<OrderRow>& rows) override;
  RowKey row_key(std::string_view list, int row) override;
  int row_of_key(std::string_view list, RowKey key) override;
  bool set_cells_by_key(std::string_view list, RowKey key, int first_column,
                        const std::vector<Text>& texts) override;
  std::vector<int> rows_where(std::string_view list, int column, const Text& text) override;
  std::vector<RowKey> row_keys(std::string_view list) override;

  void append_log(const Text& text) override;
  Answer message_box(const Text& text, const Text& title = {}, Buttons buttons = Buttons::Ok) override;
  bool speak(const Text& text) override;
  void start_worker(std::function<void()> operation) override;
  void process_events() override;
  void wait(const std::function<void()>& job) override;
  Text ask_save_path(const Text& suggested) override;
  BatchChoice ask_batch(int ready, int total, const std::vector<BatchProblem>& problems) override;
  void show_tracking(const TrackingTimeline& timeline) override;
  void notify(const Text& title, const Text& body) override;
  void show_to_ship_count(int count) override;
  void set_sender_addresses(const std::vector<SenderAddress>& addresses) override;
  void show_status(const Text& text) override;
  void show_failure(const Text& text) override;
  void show_new_orders(const std::vector<Text>& ids) override;
  void set_tooltip(std::string_view control, const Text& text) override;

 private:
  // Only the order table is the shop's; the other lists are shown as they are.
  bool filtered(std::string_view list) const { return own() && list == kOrderList; }
  // What it keeps or reads of its own: merged, or detached.
  bool own() const { return m_merged.load() || m_detached.load(); }
  // Detached: the order table is none of this shop's.
  bool tableless(std::string_view list) const { return m_detached.load() && list == kOrderList; }
  std::vector<int> mine();
  int window_row(int view_row);  // -1 when out of range
  // 序号 of the window's rows from `first` on, after rows above them went.
  void renumber_from(std::string_view list, int first);
  bool keeps(std::string_view control) const;
  void keep(std::string_view control, const Text& text);

  Form& m_window;
  const Text m_label;
  const std::atomic<bool>& m_merged;
  std::atomic<bool> m_detached{false};
  std::mutex m_mutex;
  Text m_account, m_password;
  std::map<std::string, Text, std::less<>> m_kept;
  std::function<void()> m_changed;
  // The shop's rows as the last appends left them, and the table's length then.
  std::vector<int> m_appended;
  int m_appended_total = -1;
};

}  // namespace app
