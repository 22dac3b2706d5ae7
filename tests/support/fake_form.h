#pragma once
// The in-memory window for operation tests: message boxes are answered from a
// script and recorded; speech, progress, status, log and picture are recorded.
// Thread-safe; workers started by start_worker are joined by join_workers().
//
// Usage: FakeForm form;
//        form.answers.push_back(app::Answer::No);
//        ship_all(ctx); form.join_workers();
//        EXPECT_EQ(form.messages.back().text, gbk("发货完成，请检查是否发送成功！！！"));

#include <deque>
#include <mutex>
#include <vector>

#include "app/headless/memory_form.h"

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

class FakeForm : public app::MemoryForm {
 public:
  ~FakeForm() override;

  void set_progress(int position) override;
  void set_picture(const app::Bytes& image) override;
  void set_picture_mode(int mode) override;
  void append_log(const Text& text) override;
  Answer message_box(const Text& text, const Text& title = {},
                     Buttons buttons = Buttons::Ok) override;
  bool speak(const Text& text) override;
  Text ask_save_path(const Text& suggested) override;
  app::BatchChoice ask_batch(int ready, int total,
                             const std::vector<app::BatchProblem>& problems) override;
  void show_tracking(const app::TrackingTimeline& timeline) override;
  void notify(const Text& title, const Text& body) override;
  void show_to_ship_count(int count) override;
  void show_status(const Text& text) override;

  // Recorded effects (read after join_workers(), or under no concurrency).
  std::vector<int> progress;  // every position set, in order
  std::vector<Text> spoken;
  std::vector<ShownMessage> messages;
  Text log;
  app::Bytes picture;
  int picture_mode = 0;
  std::deque<Answer> answers;   // scripted answers to Yes/No boxes (default Yes)
  std::deque<Text> save_paths;  // scripted answers to ask_save_path (default cancel)
  struct BatchQuestion {
    int ready = 0, total = 0;
    std::vector<app::BatchProblem> problems;
  };
  std::vector<BatchQuestion> batch_questions;  // every ask_batch, in order
  app::BatchChoice batch_choice = app::BatchChoice::ReadyOnly;  // its answer
  std::vector<app::TrackingTimeline> timelines;                // every show_tracking
  std::vector<std::pair<Text, Text>> notifications;            // every notify: title, body
  std::vector<int> to_ship_counts;                             // every show_to_ship_count
  std::vector<Text> statuses;                                  // every show_status, in order

 private:
  std::mutex m_record_mutex;
};

}  // namespace testing_support
