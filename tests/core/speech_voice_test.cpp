#include <gtest/gtest.h>

#include "core/speech/ssml.h"
#include "core/speech/voice.h"
#include "core/speech/voice_slots.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

using Names = std::vector<std::u16string>;

Voice MakeVoice(std::u16string name, VoiceGender gender, std::string language) {
  return {std::move(name), u"display", std::move(language), gender, 16000, u"Test"};
}

TEST(SpeechVoiceTest, DistributionFollowsGenderAndLanguage) {
  const VoiceSlotLists lists = DistributeVoices({
      MakeVoice(u"ZhM", VoiceGender::kMale, "cmn"),
      MakeVoice(u"EnF", VoiceGender::kFemale, "en-US"),
      MakeVoice(u"ZhF", VoiceGender::kFemale, "zh-Hans-CN"),
      MakeVoice(u"EnM", VoiceGender::kMale, "en-GB"),
      MakeVoice(u"Odd", VoiceGender::kUnknown, "cmn"),  // unknown gender: every list
      MakeVoice(u"EnM2", VoiceGender::kMale, ""),
      MakeVoice(u"Cmnx", VoiceGender::kMale, "cmnx"),     // not a Chinese tag
  });
  // Slots 1-4 and their second set 5-8 hold the same lists.
  const Names expected[] = {{u"ZhM", u"Odd"}, {u"ZhF", u"Odd"}, {u"EnM", u"Odd", u"EnM2", u"Cmnx"}, {u"EnF", u"Odd"}};
  for (size_t slot = 0; slot < 8; ++slot) EXPECT_EQ(lists[slot], expected[slot % 4]) << slot;
  EXPECT_TRUE(DistributeVoices({}).at(0).empty());
}

// The one rule every engine and the program's engine follow.
TEST(SpeechVoiceTest, AnUnmatchedNameKeepsTheLastMatchedVoice) {
  const std::vector<Voice> voices = {MakeVoice(u"A", VoiceGender::kMale, "en-US"),
                                     MakeVoice(u"B", VoiceGender::kFemale, "en-US")};
  VoiceChoice choice;
  const std::pair<std::u16string_view, int> calls[] = {
      {u"nobody", 0}, {u"", 0}, {u"B", 1}, {u"b", 1}, {u"", 1}, {u"A", 0}, {u"A ", 0}, {u"B", 1}};
  for (const auto& [name, expected] : calls) EXPECT_EQ(choice.Choose(voices, name), expected);
  EXPECT_EQ(choice.Choose({}, u"A"), -1);
  EXPECT_EQ(choice.Choose({voices[0]}, u"x"), 0);  // a shorter list than the last choice
}

TEST(SpeechVoiceTest, SentenceVoiceParamPicksTheSlot) {
  const int chinese[] = {1, 2, 5, 6, 0}, english[] = {3, 4, 7, 8, 0};
  for (int param = 0; param < 5; ++param) {
    EXPECT_EQ(VoiceSlotForSentence(param, true), chinese[param]) << param;
    EXPECT_EQ(VoiceSlotForSentence(param, false), english[param]) << param;
  }
  EXPECT_EQ(VoiceSlotForSentence(-1, false), 0);
}

TEST(SpeechSsmlTest, WellFormedFragmentsUseOnlyKnownElements) {
  for (const char16_t* good : {u"plain text, \"quoted\" > and 'single'", u"a <emphasis>big</emphasis> dog",
                               u"<prosody rate='slow' volume=\"loud\">x</prosody><break/>",
                               u"<break time=\"1s\" /> Tom &amp; Jerry &lt;3"}) {
    EXPECT_TRUE(IsWellFormedSsmlFragment(good)) << Utf16ToUtf8(good);
  }
  for (const char16_t* bad : {u"Tom & Jerry", u"I <3 you", u"a &#65; b", u"<b>bold</b>", u"<emphasis>open",
                              u"<s><p></s></p>", u"<break time=1s/>", u"<break time='1s'time='2s'/>",
                              u"<mark name='a<b'/>", u"<!-- note -->", u"x <", u"x &amp"}) {
    EXPECT_FALSE(IsWellFormedSsmlFragment(bad)) << Utf16ToUtf8(bad);
  }
}

TEST(SpeechSsmlTest, EscapingKeepsAMapToTheSourceText) {
  const std::u16string text = u"汉 & <\U0001F600'\"> b";
  const SsmlText ssml = PrepareSsml(text);
  ASSERT_TRUE(ssml.escaped);
  EXPECT_EQ(ssml.utf8, "汉 &amp; &lt;\xF0\x9F\x98\x80&apos;&quot;&gt; b");
  int offset = -1;
  int length = -1;
  // "&amp;" is code points 2..6 of the SSML; any of them maps to the "&".
  ASSERT_TRUE(ssml.MapToSource(6, 1, &offset, &length));
  EXPECT_EQ(offset, 2);
  EXPECT_EQ(length, 1);
  // "&lt;" + the astral character: the source "<" and its surrogate pair.
  ASSERT_TRUE(ssml.MapToSource(8, 5, &offset, &length));
  EXPECT_EQ(offset, 4);
  EXPECT_EQ(length, 3);
  // The last word, and spans cut at the end of the text.
  ASSERT_TRUE(ssml.MapToSource(static_cast<int64_t>(ssml.source_begin.size()) - 1, 10, &offset,
                               &length));
  EXPECT_EQ(text.substr(static_cast<size_t>(offset), static_cast<size_t>(length)), u"b");
  EXPECT_FALSE(ssml.MapToSource(static_cast<int64_t>(ssml.source_begin.size()), 1, &offset, &length));
  EXPECT_FALSE(ssml.MapToSource(-1, 1, &offset, &length));
  EXPECT_FALSE(ssml.MapToSource(0, 0, &offset, &length));
}

TEST(SpeechSsmlTest, MarkupPassesUnchangedAndBrokenCharactersAreReplaced) {
  const SsmlText ssml = PrepareSsml(u"a <break/> b");
  EXPECT_FALSE(ssml.escaped);
  EXPECT_EQ(ssml.utf8, "a <break/> b");
  const std::u16string odd = {u'x', 0, static_cast<char16_t>(0xD800), u'y'};
  EXPECT_EQ(PrepareSsml(odd).utf8, "x \xEF\xBF\xBDy");
}

}  // namespace
}  // namespace aurisona
