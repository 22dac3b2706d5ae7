#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "core/speech.h"

namespace {

TEST(Speech, ChineseSentenceSynthesisesToAudibleSound) {
  app::Speech voice(/*playback=*/false);
  int rate = 0;
  std::vector<short> samples = voice.synthesize(web::gbk("您有新的订单，请及时处理"), &rate);
  if (voice.voice_name().empty() || samples.empty())
    GTEST_SKIP() << "no eSpeak NG voice data installed (package espeak-ng-data)";
  EXPECT_NE(voice.voice_name().find("Mandarin"), std::string::npos) << voice.voice_name();
  ASSERT_GT(rate, 0);
  EXPECT_GT(samples.size(), std::size_t(rate) / 2);  // over half a second of speech
  int peak = 0;
  for (short s : samples) peak = std::max(peak, std::abs(int(s)));
  EXPECT_GT(peak, 1000);
  // Without playback nothing is spoken, and speak says so at once.
  EXPECT_FALSE(voice.speak(web::gbk("测试")));
}

// A machine without any sound output: speak says false and nothing reaches
// the terminal, neither at start nor at each sentence. (In a process of its
// own: eSpeak NG cannot be started a second time in one process.)
TEST(Speech, WithoutASoundDeviceStaysSilent) {
  std::error_code ec;
  if (std::filesystem::exists("/dev/snd", ec) || std::getenv("PULSE_SERVER"))
    GTEST_SKIP() << "this machine has a sound device";
  // A runtime folder without a sound server (private, so Qt says nothing either).
  const auto runtime = std::filesystem::temp_directory_path() / "weihe-no-sound";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        app::Speech voice(/*playback=*/true);
        const bool spoken = voice.speak(web::gbk("您有新的订单")) || voice.speak(web::gbk("测试"));
        std::_Exit(spoken ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "^$");
}

}  // namespace
