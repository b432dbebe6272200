// The Mandarin voices read Chinese with Mandarin rules: eSpeak NG's phonemes for the
// voices the engine selects never switch to another language inside Chinese text.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "core/speech/engines/espeak/espeak_engine.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

const std::u16string kSentences[] = {
    u"听第一段对话，回答第一至第三题。",
    u"现在你有五秒钟的时间阅读下面的问题。",
    u"男士打算星期六上午去看望他的祖母。",
    u"请根据所听内容，选择最佳答案，并标在试卷的相应位置。",
    u"这段录音将播放两遍。",
    u"听力考试到此结束，请考生停止作答。",
    u"每小题一点五分，满分三十分。",
    u"每题1.5分，共7.5分。",  // digits: read as Mandarin numbers with 点
};

TEST(SpeechMandarinTest, ChineseIsReadWithMandarinRulesInBothVoices) {
  EspeakSpeechEngine engine;
  for (const std::u16string voice : {u"中文男声", u"中文女声"}) {
    for (const std::u16string& sentence : kSentences) {
      const std::string phonemes = engine.Phonemes(sentence, voice);
      SCOPED_TRACE(Utf16ToUtf8(voice) + ": " + Utf16ToUtf8(sentence) + " -> " + phonemes);
      ASSERT_FALSE(phonemes.empty());
      // A switch of rules shows as "(xx)": none may happen in Chinese text.
      EXPECT_EQ(phonemes.find('('), std::string::npos);
      // Mandarin syllables carry their tone as digits (55, 35, 214, 51); English
      // spelling of pinyin carries none.
      const std::regex tone("(55|35|214|51)");
      const auto syllables = std::distance(
          std::sregex_iterator(phonemes.begin(), phonemes.end(), tone), std::sregex_iterator());
      EXPECT_GE(static_cast<size_t>(syllables), sentence.size() / 2);
    }
  }
}

TEST(SpeechMandarinTest, DecimalPointIsRead) {
  EspeakSpeechEngine engine;
  // "1.5" is "一点五": the point is spoken (diǎn), not dropped.
  const std::string with_point = engine.Phonemes(u"每题1.5分。", u"中文男声");
  const std::string written = engine.Phonemes(u"每题1点5分。", u"中文男声");
  EXPECT_EQ(with_point, written);
  EXPECT_EQ(MandarinDecimals(u"1.5分 a.b 3. .4 10.30"), u"1点5分 a.b 3. .4 10点30");
}

}  // namespace
}  // namespace aurisona
