#pragma once
// The window without a screen: controls are a name -> text map, the report
// lists are rows in memory with stable row keys, workers run on real threads
// and are joined by join_workers(). It starts as the window does right after
// start-up (captions, disabled order buttons, column titles). Thread-safe.
//
// The shared services do nothing by default (message boxes answer OK or Yes,
// speech reports false, the save dialog is cancelled); front ends override
// them: the command line prints them, tests record them.
//
// Usage: app::MemoryForm form;
//        app::Context ctx{form, settings, hosts};
//        backoffice::fetch_orders_to_ship(ctx);
//        auto rows = form.rows(app::kOrderList);

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/form.h"

namespace app {

class MemoryForm : public Form {
 public:
  MemoryForm();
  ~MemoryForm() override;  // joins the workers still running

  Text text(std::string_view control) override;
  void set_text(std::string_view control, const Text& text) override;
  Text title() override;
  void set_title(const Text& title) override;
  void set_enabled(std::string_view control, bool enabled) override;
  bool is_enabled(std::string_view control) override;
  bool is_checked(std::string_view control) override;
  void set_progress(int) override {}
  void set_timer_interval(int milliseconds) override;
  int timer_interval() override;
  void set_picture(const Bytes&) override {}
  void set_picture_mode(int) override {}

  int row_count(std::string_view list) override;
  int append_row(std::string_view list, const std::vector<Text>& cells = {}) override;
  Text cell(std::string_view list, int row, int column) override;
  void set_cell(std::string_view list, int row, int column, const Text& text) override;
  void delete_row(std::string_view list, int row) override;
  void clear_rows(std::string_view list) override;
  void scroll_to_row(std::string_view, int) override {}
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

  void append_log(const Text&) override {}
  Answer message_box(const Text&, const Text& = {}, Buttons buttons = Buttons::Ok) override {
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
  }
  bool speak(const Text&) override { return false; }
  void start_worker(std::function<void()> operation) override;
  void process_events() override {}
  void wait(const std::function<void()>& job) override { job(); }
  Text ask_save_path(const Text&) override { return {}; }
  BatchChoice ask_batch(int, int, const std::vector<BatchProblem>&) override {
    return BatchChoice::ReadyOnly;
  }
  void show_tracking(const TrackingTimeline&) override {}
  void notify(const Text&, const Text&) override {}
  void show_to_ship_count(int) override {}
  void set_sender_addresses(const std::vector<SenderAddress>& addresses) override;
  std::vector<SenderAddress> sender_addresses();  // as last offered
  void show_status(const Text& text) override;
  Text status();  // as last shown

  // What a merchant would do with the mouse.
  void select_row(std::string_view list, int row);
  void set_checked(std::string_view control, bool checked);
  // Waits for every worker, also for those started by workers meanwhile.
  void join_workers();

 private:
  struct List {
    std::vector<Text> titles;
    std::vector<OrderRow> rows;
    std::vector<RowKey> keys;
    int selected = -1;
  };
  List& list(std::string_view name);

  std::recursive_mutex m_mutex;
  std::vector<SenderAddress> m_sender_addresses;
  Text m_status;
  std::map<std::string, Text, std::less<>> m_texts;
  std::map<std::string, bool, std::less<>> m_enabled;
  std::map<std::string, bool, std::less<>> m_checked;
  std::map<std::string, List, std::less<>> m_lists;
  Text m_title;
  int m_interval = 0;
  RowKey m_next_key = 1;
  std::mutex m_workers_mutex;
  std::vector<std::thread> m_workers;
};

}  // namespace app
