#pragma once
// Spoken status messages on eSpeak NG. Texts are spoken asynchronously, one
// after another in the order given, on the voice's own thread; the first
// Chinese voice is chosen, Mandarin ("cmn") first. Without voice data or an
// audio device `speak` reports false and nothing else happens.
//
// Usage: app::Speech voice;                 // loads the voice in the background
//        voice.speak(web::gbk("登录成功"));  // returns at once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "web/text.h"

namespace app {

class Speech {
 public:
  // With `playback` false no audio device is opened (speak always reports
  // false); synthesize still works.
  explicit Speech(bool playback = true);
  ~Speech();  // drops queued texts, cuts the current one short, stops the thread
  Speech(const Speech&) = delete;
  Speech& operator=(const Speech&) = delete;

  // Queues `text` (system text) for speaking; false when it cannot be spoken.
  bool speak(const web::Text& text);
  // Renders `text` into 16-bit mono samples instead of playing it; empty when
  // no voice data is installed. Blocks until done (meant for checks and tests).
  std::vector<short> synthesize(const web::Text& text, int* sample_rate = nullptr);
  // The chosen voice's name ("" when none); waits for the voice to load.
  std::string voice_name();

 private:
  void run();
  void initialise();
  void wait_ready();
  void post(std::function<void()> job);

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<std::function<void()>> m_jobs;
  bool m_stop = false;
  bool m_ready = false;
  bool m_have_voice = false;
  bool m_have_audio = false;
  const bool m_playback;
  std::string m_voice;
  std::thread m_thread;
};

}  // namespace app
