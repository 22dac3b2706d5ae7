#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "app/core/speech.h"

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

}  // namespace
