#include "core/speech.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <string_view>

namespace app {

namespace {

// eSpeak reports synthesis through one process-wide callback. It runs on the
// speech thread (synchronous mode), so these point at that thread's state.
thread_local std::vector<short>* t_sink = nullptr;
std::atomic<bool> g_abort{false};

int on_synth(short* wav, int samples, espeak_EVENT*) {
  if (t_sink && wav && samples > 0) t_sink->insert(t_sink->end(), wav, wav + samples);
  return g_abort.load() ? 1 : 0;  // 1 cuts the current text short
}

// The languages field is a list of (priority byte, language name) pairs.
bool has_language(const espeak_VOICE* v, std::string_view prefix) {
  if (!v->languages) return false;
  for (const char* p = v->languages; *p; p += 1 + std::char_traits<char>::length(p + 1)) {
    std::string_view lang(p + 1);
    if (lang.substr(0, prefix.size()) == prefix) return true;
  }
  return false;
}

bool looks_chinese(const espeak_VOICE* v) {
  std::string name = v->name ? v->name : "";
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return has_language(v, "zh") || has_language(v, "cmn") || has_language(v, "yue") ||
         name.find("chinese") != std::string::npos || name.find("中文") != std::string::npos;
}

// Mandarin if installed, else the first Chinese voice in the listed order.
const espeak_VOICE* chinese_voice() {
  const espeak_VOICE** voices = espeak_ListVoices(nullptr);
  if (!voices) return nullptr;
  for (auto v = voices; *v; ++v)
    if (has_language(*v, "cmn")) return *v;
  for (auto v = voices; *v; ++v)
    if (looks_chinese(*v)) return *v;
  return nullptr;
}

// Whether any sound output can exist: a PulseAudio or PipeWire server, or an
// ALSA playback device. Without one, opening the output only makes the sound
// libraries print their errors on the terminal, at every sentence.
bool has_sound_output() {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (const char* server = std::getenv("PULSE_SERVER"); server && *server) return true;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    const fs::path dir(runtime);
    if (fs::exists(dir / "pulse" / "native", ec) || fs::exists(dir / "pipewire-0", ec)) return true;
  }
  for (const auto& entry : fs::directory_iterator("/dev/snd", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("pcmC") && name.ends_with("p")) return true;
  }
  return false;
}

void synthesize_now(const web::Text& text) {
  std::string utf8 = web::gbk_to_utf8(text);
  espeak_ng_Synthesize(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                       nullptr, nullptr);
}

}  // namespace

Speech::Speech(bool playback) : m_playback(playback) {
  m_thread = std::thread([this] { run(); });
}

Speech::~Speech() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
    m_jobs.clear();
  }
  g_abort = true;
  m_changed.notify_all();
  m_thread.join();
  g_abort = false;
}

void Speech::initialise() {
  espeak_ng_InitializePath(nullptr);
  espeak_ng_ERROR_CONTEXT error = nullptr;
  bool voice = espeak_ng_Initialize(&error) == ENS_OK;
  espeak_ng_ClearErrorContext(&error);
  bool audio = false;
  if (voice) {
    espeak_SetSynthCallback(on_synth);
    // Keep the system's default voice when no Chinese one is installed.
    if (const espeak_VOICE* v = chinese_voice()) {
      if (espeak_ng_SetVoiceByName(v->name) == ENS_OK) m_voice = v->name;
    }
    if (m_voice.empty()) {
      const espeak_VOICE* current = espeak_GetCurrentVoice();
      if (current && current->name) m_voice = current->name;
    }
    if (m_playback && has_sound_output())
      audio = espeak_ng_InitializeOutput(static_cast<espeak_ng_OUTPUT_MODE>(
                                             ENOUTPUT_MODE_SYNCHRONOUS | ENOUTPUT_MODE_SPEAK_AUDIO),
                                         0, nullptr) == ENS_OK;
    if (!audio) espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr);
  }
  std::lock_guard lock(m_mutex);
  m_have_voice = voice;
  m_have_audio = audio;
  m_ready = true;
  m_changed.notify_all();
}

void Speech::run() {
  initialise();
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(m_mutex);
      m_changed.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
      if (m_stop) break;
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
    }
    job();
  }
  if (m_have_voice) espeak_ng_Terminate();
}

void Speech::wait_ready() {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return m_ready; });
}

void Speech::post(std::function<void()> job) {
  {
    std::lock_guard lock(m_mutex);
    m_jobs.push_back(std::move(job));
  }
  m_changed.notify_all();
}

bool Speech::speak(const web::Text& text) {
  wait_ready();  // only ever waits during the first moments after start-up
  {
    std::lock_guard lock(m_mutex);
    if (!m_have_voice || !m_have_audio || m_stop) return false;
  }
  post([text] { synthesize_now(text); });
  return true;
}

std::vector<short> Speech::synthesize(const web::Text& text, int* sample_rate) {
  wait_ready();
  {
    std::lock_guard lock(m_mutex);
    if (!m_have_voice || m_stop) return {};
  }
  auto done = std::make_shared<std::promise<std::vector<short>>>();
  auto result = done->get_future();
  post([this, text, done, sample_rate] {
    std::vector<short> samples;
    if (m_have_audio) espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr);
    t_sink = &samples;
    synthesize_now(text);
    t_sink = nullptr;
    if (m_have_audio)
      espeak_ng_InitializeOutput(
          static_cast<espeak_ng_OUTPUT_MODE>(ENOUTPUT_MODE_SYNCHRONOUS | ENOUTPUT_MODE_SPEAK_AUDIO),
          0, nullptr);
    if (sample_rate) *sample_rate = espeak_ng_GetSampleRate();
    done->set_value(std::move(samples));
  });
  try {
    return result.get();
  } catch (const std::future_error&) {
    return {};  // stopped before it ran
  }
}

std::string Speech::voice_name() {
  wait_ready();
  std::lock_guard lock(m_mutex);
  return m_voice;
}

}  // namespace app
