#include "support/fake_form.h"

namespace testing_support {

using web::gbk;

FakeForm::~FakeForm() {
  // Workers may still record into this object's members.
  join_workers();
}

void FakeForm::set_progress(int position) {
  std::lock_guard lock(m_record_mutex);
  progress.push_back(position);
}
void FakeForm::set_picture(const app::Bytes& image) {
  std::lock_guard lock(m_record_mutex);
  picture = image;
}
void FakeForm::set_picture_mode(int mode) {
  std::lock_guard lock(m_record_mutex);
  picture_mode = mode;
}
void FakeForm::show_status(const Text& text) {
  MemoryForm::show_status(text);
  std::lock_guard lock(m_record_mutex);
  statuses.push_back(text);
}
void FakeForm::append_log(const Text& text) {
  std::lock_guard lock(m_record_mutex);
  log += text;
}
Answer FakeForm::message_box(const Text& text, const Text& title, Buttons buttons) {
  std::lock_guard lock(m_record_mutex);
  messages.push_back({text, title.empty() ? gbk("信息：") : title, buttons});
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (answers.empty()) return Answer::Yes;
  Answer a = answers.front();
  answers.pop_front();
  return a;
}
bool FakeForm::speak(const Text& text) {
  std::lock_guard lock(m_record_mutex);
  spoken.push_back(text);
  return true;
}
Text FakeForm::ask_save_path(const Text&) {
  std::lock_guard lock(m_record_mutex);
  if (save_paths.empty()) return {};
  Text p = save_paths.front();
  save_paths.pop_front();
  return p;
}

app::BatchChoice FakeForm::ask_batch(int ready, int total,
                                    const std::vector<app::BatchProblem>& problems) {
  std::lock_guard lock(m_record_mutex);
  batch_questions.push_back({ready, total, problems});
  return batch_choice;
}

void FakeForm::notify(const Text& title, const Text& body) {
  std::lock_guard lock(m_record_mutex);
  notifications.emplace_back(title, body);
}

void FakeForm::show_to_ship_count(int count) {
  std::lock_guard lock(m_record_mutex);
  to_ship_counts.push_back(count);
}

void FakeForm::show_tracking(const app::TrackingTimeline& timeline) {
  std::lock_guard lock(m_record_mutex);
  timelines.push_back(timeline);
}

}  // namespace testing_support
