#include <gtest/gtest.h>

#include "speech/ssml.h"
#include "speech/voice.h"
#include "speech/voice_slots.h"

namespace aurisona {
namespace {

using Names = std::vector<std::u16string>;

Voice MakeVoice(std::u16string name, std::u16string gender, std::u16string language) {
  return {std::move(name), std::move(gender), std::move(language), u"display"};
}

TEST(SpeechVoiceTest, DistributionFollowsGenderAndLanguage) {
  const VoiceSlotLists lists = DistributeVoices({
      MakeVoice(u"ZhM", u"Male", u"804"),
      MakeVoice(u"EnF", u"Female", u"409"),
      MakeVoice(u"ZhF", u"Female", u"804;409"),  // several ids, 804 among them: Chinese
      MakeVoice(u"EnM", u"Male", u"809"),
      MakeVoice(u"Odd", u"male", u"804"),        // lower case: neither gender
      MakeVoice(u"EnM2", u"Male", u""),
  });
  EXPECT_EQ(lists[0], (Names{u"ZhM", u"Odd"}));
  EXPECT_EQ(lists[4], (Names{u"ZhM", u"Odd"}));
  EXPECT_EQ(lists[1], (Names{u"ZhF", u"Odd"}));
  EXPECT_EQ(lists[5], (Names{u"ZhF", u"Odd"}));
  EXPECT_EQ(lists[2], (Names{u"EnM", u"Odd", u"EnM2"}));
  EXPECT_EQ(lists[6], (Names{u"EnM", u"Odd", u"EnM2"}));
  EXPECT_EQ(lists[3], (Names{u"EnF", u"Odd"}));
  EXPECT_EQ(lists[7], (Names{u"EnF", u"Odd"}));
}

TEST(SpeechVoiceTest, FemaleIsNotMaleAndTheFirstMatchingRowWins) {
  EXPECT_FALSE(HasMaleGender(MakeVoice(u"f", u"Female", u"409")));
  EXPECT_TRUE(HasFemaleGender(MakeVoice(u"f", u"Female", u"409")));
  const VoiceSlotLists both = DistributeVoices({MakeVoice(u"B", u"Female;Male", u"409")});
  EXPECT_EQ(both[2], Names{u"B"});  // holds "Male": the male row comes first
  EXPECT_TRUE(both[3].empty());
  EXPECT_TRUE(DistributeVoices({}).at(0).empty());
}

TEST(SpeechVoiceTest, FileRateFollowsTheDisplayName) {
  EXPECT_EQ(SpeechFileSampleRate(u"eSpeak NG Mandarin Male 22kHz"), 22050);
  EXPECT_EQ(SpeechFileSampleRate(u"VW Paul"), 16000);
  EXPECT_EQ(SpeechFileSampleRate(u""), 16000);
}

TEST(SpeechVoiceTest, SentenceVoiceParamPicksTheSlot) {
  EXPECT_EQ(VoiceSlotForSentence(0, true), 1);
  EXPECT_EQ(VoiceSlotForSentence(0, false), 3);
  EXPECT_EQ(VoiceSlotForSentence(1, true), 2);
  EXPECT_EQ(VoiceSlotForSentence(1, false), 4);
  EXPECT_EQ(VoiceSlotForSentence(2, true), 5);
  EXPECT_EQ(VoiceSlotForSentence(2, false), 7);
  EXPECT_EQ(VoiceSlotForSentence(3, true), 6);
  EXPECT_EQ(VoiceSlotForSentence(3, false), 8);
  EXPECT_EQ(VoiceSlotForSentence(4, true), 0);
  EXPECT_EQ(VoiceSlotForSentence(-1, false), 0);
}

TEST(SpeechSsmlTest, WellFormedFragmentsUseOnlyKnownElements) {
  EXPECT_TRUE(IsWellFormedSsmlFragment(u"plain text, \"quoted\" > and 'single'"));
  EXPECT_TRUE(IsWellFormedSsmlFragment(u"a <emphasis>big</emphasis> dog"));
  EXPECT_TRUE(IsWellFormedSsmlFragment(u"<prosody rate='slow' volume=\"loud\">x</prosody><break/>"));
  EXPECT_TRUE(IsWellFormedSsmlFragment(u"<break time=\"1s\" /> Tom &amp; Jerry &lt;3"));
  EXPECT_FALSE(IsWellFormedSsmlFragment(u"Tom & Jerry"));
  EXPECT_FALSE(IsWellFormedSsmlFragment(u"I <3 you"));
  EXPECT_FALSE(IsWellFormedSsmlFragment(u"a &#65; b"));
  EXPECT_FALSE(IsWellFormedSsmlFragment(u"<b>bold</b>"));
  EXPECT_FALSE(IsWellFormedSsmlFragment(u"<emphasis>open"));
  EXPECT_FALSE(IsWellFormedSsmlFragment(u"<s><p></s></p>"));
  EXPECT_FALSE(IsWellFormedSsmlFragment(u"<break time=1s/>"));
  EXPECT_FALSE(IsWellFormedSsmlFragment(u"<break time='1s'time='2s'/>"));
  EXPECT_FALSE(IsWellFormedSsmlFragment(u"<mark name='a<b'/>"));
  EXPECT_FALSE(IsWellFormedSsmlFragment(u"<!-- note -->"));
  EXPECT_FALSE(IsWellFormedSsmlFragment(u"x <"));
  EXPECT_FALSE(IsWellFormedSsmlFragment(u"x &amp"));
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
