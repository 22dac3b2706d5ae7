#include "cli/cli_form.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace cli {

std::string for_people(const Text& text) {
  std::string out;
  for (char c : web::gbk_to_utf8(text))
    if (c != '\r') out += c;
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

CliForm::CliForm(Voice voice) : m_voice(voice), m_terminal(::isatty(STDERR_FILENO) == 1) {
  // No pop-up after a tracking query: the command prints the reply itself.
  set_checked("选择框1", false);
}

void CliForm::say(const std::string& line, bool error) const {
  if (m_voice.quiet && !error) return;
  std::lock_guard lock(m_mutex);
  if (m_terminal && m_progress >= 0) std::fputs("\r\033[K", stderr);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

void CliForm::set_progress(int position) {
  if (m_voice.quiet || !m_terminal) return;
  std::lock_guard lock(m_mutex);
  if (position == m_progress) return;
  m_progress = position >= 100 ? -1 : position;
  std::fprintf(stderr, position >= 100 ? "\r\033[K" : "\r\033[K进度 %d%%", position);
  std::fflush(stderr);
}

void CliForm::append_log(const Text& text) {
  {
    std::lock_guard lock(m_mutex);
    m_log += text;
  }
  if (m_voice.verbose) say("日志：" + for_people(text));
}

app::Answer CliForm::message_box(const Text& text, const Text& title, app::Buttons buttons) {
  app::Answer answer = app::Answer::Ok;
  std::string why;
  {
    std::lock_guard lock(m_mutex);
    m_shown.push_back(text);
    if (buttons == app::Buttons::YesNo) {
      answer = m_answer;
      why = m_answer_why;
    }
  }
  const std::string shown = (title.empty() ? "" : for_people(title) + "：") + for_people(text);
  if (buttons == app::Buttons::Ok) {
    say(shown);
  } else {
    say(shown + " → " + (answer == app::Answer::Yes ? "是" : "否") +
        (why.empty() ? "" : "（" + why + "）"));
  }
  return answer;
}

bool CliForm::keep_only_order(const std::string& order_id) {
  const app::Text id = web::utf8_to_gbk(order_id);
  for (int r = row_count(app::kOrderList) - 1; r >= 0; --r)
    if (cell(app::kOrderList, r, app::kColId) != id) delete_row(app::kOrderList, r);
  if (row_count(app::kOrderList) == 1) return true;
  say("没有ID为 " + order_id + " 的订单（总订单里找不到）", true);
  return false;
}

bool CliForm::speak(const Text& text) {
  say(for_people(text));
  return false;  // nothing was spoken aloud
}

Text CliForm::ask_save_path(const Text&) {
  Text path;
  {
    std::lock_guard lock(m_mutex);
    path = m_save_path;
  }
  if (!path.empty()) say("保存到：" + for_people(path));
  return path;
}

app::BatchChoice CliForm::ask_batch(int ready, int total,
                                   const std::vector<app::BatchProblem>& problems) {
  for (const app::BatchProblem& p : problems)
    say((p.warning_only ? "提醒：" : "不发：") + for_people(p.order_no) + " " +
        for_people(p.tracking_no) + " " + for_people(p.reason));
  app::BatchChoice choice;
  {
    std::lock_guard lock(m_mutex);
    choice = m_batch_choice;
  }
  const auto warned = std::count_if(problems.begin(), problems.end(),
                                    [](const app::BatchProblem& p) { return p.warning_only; });
  say(std::to_string(total) + "行中" + std::to_string(ready) + "行可以发货，" +
      std::to_string(warned) + "行有提醒，" +
      std::to_string(total - ready - static_cast<int>(warned)) + "行有问题 → " +
      (choice == app::BatchChoice::All          ? "全部照发（--ship-all）"
       : choice == app::BatchChoice::WithWarned ? "连提醒的一起发（--with-warnings）"
                                                : "只发可以发的（不带 --with-warnings 或 --ship-all 时）"));
  return choice;
}

void CliForm::answer_batch(app::BatchChoice choice) {
  std::lock_guard lock(m_mutex);
  m_batch_choice = choice;
}

void CliForm::answer_questions(app::Answer answer, std::string why) {
  std::lock_guard lock(m_mutex);
  m_answer = answer;
  m_answer_why = std::move(why);
}

void CliForm::answer_save_path(Text path) {
  std::lock_guard lock(m_mutex);
  m_save_path = std::move(path);
}

bool CliForm::was_shown(const Text& start) const {
  std::lock_guard lock(m_mutex);
  for (const Text& t : m_shown)
    if (t.compare(0, start.size(), start) == 0) return true;
  return false;
}

Text CliForm::last_shown(const Text& start) const {
  std::lock_guard lock(m_mutex);
  for (auto t = m_shown.rbegin(); t != m_shown.rend(); ++t)
    if (t->compare(0, start.size(), start) == 0) return *t;
  return {};
}

Text CliForm::log() const {
  std::lock_guard lock(m_mutex);
  return m_log;
}

}  // namespace cli
