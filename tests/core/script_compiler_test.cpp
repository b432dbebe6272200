#include <gtest/gtest.h>

#include "core/script/compiler.h"
#include "core/script/memory_document.h"
#include "core/script/tagged_text.h"

namespace aurisona {
namespace {

struct Compiled {
  MemoryScriptDocument doc;
  std::vector<Segment> segments;
  std::vector<std::pair<CompilerMessage, int>> messages;
};

std::unique_ptr<Compiled> Compile(std::u16string_view tagged, const MediaLists& media = {}) {
  auto c = std::make_unique<Compiled>();
  TaggedTextReader(c->doc, media, tagged, true, false);
  ScriptCompiler(c->doc, media, c->segments,
                 [&](CompilerMessage m, int pos) { c->messages.emplace_back(m, pos); });
  return c;
}

std::vector<int32_t> Kinds(const std::vector<Segment>& segments) {
  std::vector<int32_t> kinds;
  for (const auto& s : segments) kinds.push_back(s.kind);
  return kinds;
}

TEST(ScriptCompilerTest, SentencesSplitByLanguageAndMergeBySameVoice) {
  auto c = Compile(u"Hello there. 你好。Good. Bye!");
  ASSERT_EQ(c->segments.size(), 3u);
  EXPECT_EQ(c->segments[0].text, u"Hello there.");
  EXPECT_EQ(c->segments[0].chinese, 0);
  EXPECT_EQ(c->segments[1].text, u" 你好。");
  EXPECT_EQ(c->segments[1].chinese, 1);
  EXPECT_EQ(c->segments[1].start, 12);
  EXPECT_EQ(c->segments[1].end, 16);
  EXPECT_EQ(c->segments[2].text, u"Good. Bye!");
  // " Good." and " Bye!" are English again: a new segment, then merged with one blank.
  c = Compile(u"One. Two. Three");
  ASSERT_EQ(c->segments.size(), 1u);
  EXPECT_EQ(c->segments[0].text, u"One. Two. Three");
  EXPECT_EQ(c->segments[0].start, 0);
  EXPECT_EQ(c->segments[0].end, 15);
}

// The point of a title or an abbreviation ends no run, so a title stays with the name
// after it (and in its language); before a capital letter, a line break or a Chinese
// character "a.m." and "etc." still end one. Runs are joined by one blank.
TEST(ScriptCompilerTest, PointOfATitleOrAbbreviation) {
  struct {
    std::u16string script;
    std::vector<std::u16string> segments;
  } const cases[] = {
      {u"Mr. Li来了。", {u"Mr. Li来了。"}},
      {u"请Dr. Wang和Mrs. Brown回答。", {u"请Dr. Wang和Mrs. Brown回答。"}},
      {u"Come at 9 a.m. 我们走。", {u"Come at 9 a.m.", u" 我们走。"}},
      {u"Dr. Smith met him at 9 a.m. Then e.g. 5.", {u"Dr. Smith met him at 9 a.m. Then e.g. 5."}},
      {u"No. 5 路车。", {u"No. 5 路车。"}},
      {u"No. 好的。", {u"No.", u" 好的。"}},
  };
  for (const auto& c : cases) {
    auto compiled = Compile(c.script);
    std::vector<std::u16string> texts;
    for (const Segment& segment : compiled->segments) texts.push_back(segment.text);
    EXPECT_EQ(texts, c.segments);
  }
}

TEST(ScriptCompilerTest, PointBetweenDigitsKeepsTheNumberWhole) {
  auto c = Compile(u"It costs $2.50, or 3.5 dollars at 10.30.");
  ASSERT_EQ(c->segments.size(), 1u);
  EXPECT_EQ(c->segments[0].text, u"It costs $2.50, or 3.5 dollars at 10.30.");
  EXPECT_EQ(c->segments[0].end, 40);
  // Chinese runs the same; the language is still decided per run.
  c = Compile(u"<男>每个1.5分。Then 2.");
  ASSERT_EQ(c->segments.size(), 2u);
  EXPECT_EQ(c->segments[0].text, u" 每个1.5分。");
  EXPECT_EQ(c->segments[0].chinese, 1);
  EXPECT_EQ(c->segments[1].text, u"Then 2.");
  EXPECT_EQ(c->segments[1].chinese, 0);
  // A digit on one side only, a space, a full-width digit or a second point still break.
  c = Compile(u"<男>.5 5. 6 7.a 1..2 \uFF13.4");
  ASSERT_EQ(c->segments.size(), 1u);
  EXPECT_EQ(c->segments[0].text, u" . 5 5. 6 7. a 1. .2 \uFF13. 4");
  // The "1.5" of an English run next to a Chinese character.
  c = Compile(u"Mr. Li 1.5");
  EXPECT_EQ(c->segments.back().text.substr(c->segments.back().text.size() - 3), u"1.5");
}

// A run of punctuation only is dropped, an unclosed repeat stays, an empty document gives nothing.
TEST(ScriptCompilerTest, PunctuationOnlyRunsAndUnclosedRepeats) {
  const std::pair<std::u16string, std::vector<int32_t>> cases[] = {
      {u"<提示音>，，  <暂停1秒>", {1, 1000}}, {u"<重复1:2>hello", {4, 0}}, {u"", {}}};
  for (const auto& [script, kinds] : cases) EXPECT_EQ(Kinds(Compile(script)->segments), kinds);
}

TEST(ScriptCompilerTest, PausesMapToMillisecondsWithClamping) {
  MemoryScriptDocument doc;
  for (int code : {5, 19, 39, 0, 100}) doc.InsertMark({kMarkPause, code}, false);
  std::vector<Segment> segments;
  ScriptCompiler(doc, {}, segments);
  EXPECT_EQ(Kinds(segments), (std::vector<int32_t>{500, 10000, 30000, 100, 60000}));
  EXPECT_EQ(segments[2].start, 2);
  EXPECT_EQ(segments[2].end, 3);
}

TEST(ScriptCompilerTest, NestedRepeatInsideAlternatingIsRemovedWithTwoMessages) {
  auto c = Compile(u"<重复2:3>a<重复1:2>b<结束1>c<结束2>");
  EXPECT_EQ(Kinds(c->segments), (std::vector<int32_t>{6, 0, 7}));
  EXPECT_EQ(c->segments[0].param, 3);
  EXPECT_EQ(c->segments.back().param, 3);  // the end carries the begin's count
  ASSERT_EQ(c->messages.size(), 2u);
  EXPECT_EQ(c->messages[0], std::make_pair(CompilerMessage::kFaultyRepeatMark, 2));
  EXPECT_EQ(c->messages[1], std::make_pair(CompilerMessage::kFaultyRepeatMark, 4));
  // The faulty marks are spaces in the document now; positions did not move.
  EXPECT_EQ(TaggedTextWriter(c->doc, {}, 0, -1), u"<重复2:3>a b c<结束2>");
}

TEST(ScriptCompilerTest, NoReadSpans) {
  // Two begins before one end: the second goes, the span covers both.
  auto c = Compile(u"A.<禁读>b<禁读>c<结束>D.");
  EXPECT_EQ(Kinds(c->segments), (std::vector<int32_t>{0, 8, 9, 0}));
  EXPECT_EQ(c->segments[1].start, 2);
  EXPECT_EQ(c->segments[2].start, 6);
  ASSERT_EQ(c->messages.size(), 1u);
  EXPECT_EQ(c->messages[0].first, CompilerMessage::kFaultyNoReadMark);
  // A begin without an end is ignored.
  c = Compile(u"x<禁读>y");
  EXPECT_TRUE(c->messages.empty());
  ASSERT_EQ(c->segments.size(), 1u);
  EXPECT_EQ(c->segments[0].text, u"x y");
}

TEST(ScriptCompilerTest, VoiceMarksInsideNoReadSpansAreNotInterpreted) {
  auto c = Compile(u"<女>a.<禁读><男>b<结束>c.");
  ASSERT_EQ(c->segments.size(), 4u);
  EXPECT_EQ(c->segments[3].param, 1);
  EXPECT_EQ(c->segments[3].text, u"c.");
}

TEST(ScriptCompilerTest, MediaMarksTakeNamesAndPlayTimes) {
  MediaLists media;
  media.music = {u"a.mp3", u"b.mp3"};
  media.playTimes = {0, 15};
  media.recordings = {u"r.wav"};
  MemoryScriptDocument doc;
  doc.InsertMark({kMarkMusic, 1}, false);
  doc.InsertMark({kMarkMusic, 7}, false);
  doc.InsertMark({kMarkRecording, 3}, false);
  std::vector<Segment> segments;
  ScriptCompiler(doc, media, segments);
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_EQ(segments[0], (Segment{2, 15, 0, 0, 1, u"b.mp3"}));
  EXPECT_EQ(segments[1], (Segment{2, 0, 0, 1, 2, u"a.mp3"}));
  EXPECT_EQ(segments[2], (Segment{3, 0, 0, 2, 3, u"r.wav"}));
  // Empty lists: no segment, no message.
  segments.clear();
  ScriptCompiler(doc, {}, segments);
  EXPECT_TRUE(segments.empty());
}

}  // namespace
}  // namespace aurisona
