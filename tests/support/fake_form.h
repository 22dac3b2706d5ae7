#pragma once
// An in-memory Form for operation tests: controls are a name -> text map, the
// list views are vectors of rows, message boxes are answered from a script and
// recorded, speech and progress are recorded. Thread-safe; workers started by
// start_worker run on real threads and are joined by join_workers().
//
// Usage: FakeForm form;
//        form.answers.push_back(app::Answer::No);
//        ship_all(ctx); form.join_workers();
//        EXPECT_EQ(form.messages.back().text, gbk("发货完成，请检查是否发送成功！！！"));

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/core/form.h"

namespace testing_support {

using app::Answer;
using app::Buttons;
using app::OrderRow;
using app::RowKey;
using app::Text;

struct ShownMessage {
  Text text;
  Text title;  // as shown: "信息：" when none was given
  Buttons buttons;
};

class FakeForm : public app::Form {
 public:
  FakeForm();
  ~FakeForm() override;

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
  void set_picture(const app::Bytes& image) override;
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
  bool set_cells_by_key(std::string_view list, RowKey key, int first_column,
                        const std::vector<Text>& texts) override;

  void append_log(const Text& text) override;
  Answer message_box(const Text& text, const Text& title = {},
                     Buttons buttons = Buttons::Ok) override;
  bool speak(const Text& text) override;
  void start_worker(std::function<void()> operation) override;
  void process_events() override {}
  void wait(const std::function<void()>& job) override { job(); }
  Text ask_save_path(const Text& suggested) override;

  // Test controls.
  void select_row(std::string_view list, int row);
  void set_checked(std::string_view control, bool checked);
  void join_workers();

  // Recorded effects (read after join_workers(), or under no concurrency).
  std::vector<int> progress;  // every position set, in order
  std::vector<Text> spoken;
  std::vector<ShownMessage> messages;
  Text log;
  app::Bytes picture;
  int picture_mode = 0;
  std::deque<Answer> answers;   // scripted answers to Yes/No boxes (default Yes)
  std::deque<Text> save_paths;  // scripted answers to ask_save_path (default cancel)

 private:
  struct List {
    std::vector<Text> titles;
    std::vector<OrderRow> rows;
    std::vector<RowKey> keys;
    int selected = -1;
  };
  List& list(std::string_view name);

  std::recursive_mutex m_mutex;
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

}  // namespace testing_support
