#pragma once
// The command line's window: the in-memory form whose services speak to
// people on standard error. Speech and message boxes become lines there (in
// UTF-8), the activity log too with `verbose`, the progress bar a line that
// redraws itself when standard error is a terminal. Questions (Yes/No boxes,
// the save dialog) are answered from the command's options, and the answer is
// said. `quiet` keeps everything but errors off standard error.
//
// Usage: CliForm form({.quiet = false, .verbose = false});
//        form.answer_questions(app::Answer::Yes, "the workbook was imported");
//        ...run an operation...; if (form.was_shown(gbk("导出成功！"))) ...

#include <mutex>
#include <string>
#include <vector>

#include "app/headless/memory_form.h"

namespace cli {

using app::Text;

struct Voice {
  bool quiet = false;
  bool verbose = false;
};

class CliForm : public app::MemoryForm {
 public:
  explicit CliForm(Voice voice);

  void set_progress(int position) override;
  void append_log(const Text& text) override;
  app::Answer message_box(const Text& text, const Text& title = {},
                          app::Buttons buttons = app::Buttons::Ok) override;
  bool speak(const Text& text) override;
  Text ask_save_path(const Text& suggested) override;
  // Says what the checks found; answers as answer_batch() said (ReadyOnly
  // unless told otherwise).
  app::BatchChoice ask_batch(int ready, int total,
                             const std::vector<app::BatchProblem>& problems) override;
  void answer_batch(app::BatchChoice choice);

  // How Yes/No boxes are answered, and why (said with each answer, UTF-8).
  void answer_questions(app::Answer answer, std::string why);
  // The path the save dialog answers (system text); empty cancels it.
  void answer_save_path(Text path);

  // Only the order with that id (UTF-8) stays in the order list, so an
  // operation over the list (the detail fetch) takes it alone. False, and
  // said, when the list does not hold it.
  bool keep_only_order(const std::string& order_id);

  // True when a message box showed a text starting with `start` (system text).
  bool was_shown(const Text& start) const;
  // The last message box text starting with `start`; empty when none.
  Text last_shown(const Text& start) const;
  Text log() const;  // everything the activity log got

  // A line for people (UTF-8); `error` lines are said even when quiet.
  void say(const std::string& line, bool error = false) const;

 private:
  Voice m_voice;
  bool m_terminal;
  mutable std::mutex m_mutex;
  std::vector<Text> m_shown;
  Text m_log;
  app::Answer m_answer = app::Answer::No;
  std::string m_answer_why;
  Text m_save_path;
  int m_progress = -1;
  app::BatchChoice m_batch_choice = app::BatchChoice::ReadyOnly;
};

// System text as one UTF-8 line for people: CR LF as LF, no line break at the end.
std::string for_people(const Text& text);

}  // namespace cli
