// Numbers in tags read as the C library reads them, and repeat counts that
// would render for ever.
#include <gtest/gtest.h>

#include "core/media/missing_media.h"
#include "core/script/compiler.h"
#include "core/script/marks.h"
#include "core/script/memory_document.h"
#include "core/script/tagged_text.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

std::vector<MarkRecord> MarksOf(const MemoryScriptDocument& doc) {
  std::vector<MarkRecord> marks;
  for (int i = 0; i < doc.Length(); ++i) {
    if (auto m = doc.MarkAt(i)) marks.push_back(*m);
  }
  return marks;
}

// Whitespace before a tag's number is skipped as strtol skips it; a name spelt
// exactly comes before one that differs in case, else the first that differs.
TEST(RobustScriptTest, TagNumbersAreReadAsStrtolDoesAndNamesSpeltExactlyComeFirst) {
  const std::pair<std::u16string, std::vector<MarkRecord>> cases[] = {
      {u"<重复1:\r\n12>a<结束1><暂停\n2秒><重复2:\v\f 3>b<结束2><暂停\t0.5秒>",
       {{kMarkRepeatBegin, 12}, {kMarkRepeatEnd, 0}, {kMarkPause, 11}, {kMarkAltRepeatBegin, 3}, {kMarkAltRepeatEnd, 0},
        {kMarkPause, 5}}},
      {u"<音乐:A.mp3><音乐:a.mp3><音乐:A.MP3><录音:take.wav><录音:TAKE.WAV>",
       {{kMarkMusic, 1}, {kMarkMusic, 0}, {kMarkMusic, 0}, {kMarkRecording, 1}, {kMarkRecording, 0}}},
  };
  for (const auto& [tagged, marks] : cases) {
    MemoryScriptDocument doc;
    MediaLists lists;
    lists.music = {u"a.mp3", u"A.mp3"};
    lists.recordings = {u"Take.wav", u"take.wav"};
    TaggedTextReader(doc, lists, tagged, false, false);
    EXPECT_EQ(MarksOf(doc), marks) << Utf16ToUtf8(tagged);
  }
}

TEST(RobustScriptTest, AHugeRepeatCountIsCappedWithAMessageAndRepairedInTheDocument) {
  MemoryScriptDocument doc;
  MediaLists lists;
  TaggedTextReader(doc, lists, u"<重复1:999999999999>Hello.<结束1><重复2:99>Hi.<结束2><重复2:100>Yo.<结束2>", false, false);
  EXPECT_EQ(MarksOf(doc)[0], (MarkRecord{kMarkRepeatBegin, 2147483647}));  // read as the reader always has
  std::vector<Segment> segments;
  std::vector<std::pair<CompilerMessage, int>> messages;
  ScriptCompiler(doc, lists, segments, [&](CompilerMessage m, int at) { messages.emplace_back(m, at); });
  std::vector<int32_t> counts;
  for (const Segment& s : segments) {
    if (s.kind == kSegRepeatBegin || s.kind == kSegAltRepeatBegin) counts.push_back(s.param);
  }
  EXPECT_EQ(counts, (std::vector<int32_t>{99, 99, 99}));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].first, CompilerMessage::kRepeatCountCapped);
  EXPECT_EQ(messages[0].second, 0);
  EXPECT_FALSE(CompilerMessageText(CompilerMessage::kRepeatCountCapped).empty());
  // The document now says 99, so the message comes once.
  EXPECT_EQ(TaggedTextWriter(doc, lists, 0, -1).substr(0, 8), u"<重复1:99>");
  messages.clear();
  segments.clear();
  ScriptCompiler(doc, lists, segments, [&](CompilerMessage m, int at) { messages.emplace_back(m, at); });
  EXPECT_TRUE(messages.empty());
}

TEST(RobustScriptTest, NamesHoldingACloseBracketAndMissingNamesKeepTheirPlace) {
  // (Missing clips and exact names against prefixes: RobustCliTest, through the command line.)
  struct Case {
    std::vector<std::u16string> music;
    std::u16string tagged;               // written back unchanged
    std::vector<std::u16string> clips;   // the names the compiled segments play
    std::vector<std::u16string> missing;
  };
  const Case cases[] = {
      // A name holding ">" is found whole; text after the tag stays text.
      {{u"a", u"a>b.mp3"}, u"<音乐:a>b.mp3>c", {u"a>b.mp3"}, {}},
      {{u"a.mp3"}, u"<音乐:a.mp3> x>", {u"a.mp3"}, {}},
      // The same missing name twice is one entry; another is another.
      {{u"m.mp3.wav"}, u"<音乐:m.mp3><音乐:n.mp3><音乐:m.mp3>", {u"m.mp3", u"n.mp3", u"m.mp3"}, {u"m.mp3", u"n.mp3"}},
  };
  for (const Case& c : cases) {
    MemoryScriptDocument doc;
    MediaLists lists;
    lists.music = c.music;
    TaggedTextReader(doc, lists, c.tagged, false, false);
    EXPECT_EQ(TaggedTextWriter(doc, lists, 0, -1), c.tagged) << Utf16ToUtf8(c.tagged);
    std::vector<Segment> segments;
    ScriptCompiler(doc, lists, segments);
    std::vector<std::u16string> clips;
    for (const Segment& s : segments) {
      if (s.kind == kSegMusic) clips.push_back(s.text);
    }
    EXPECT_EQ(clips, c.clips) << Utf16ToUtf8(c.tagged);
    std::vector<std::u16string> missing;
    for (const MissingMedia& m : FindMissingMedia(segments, lists)) missing.push_back(m.name);
    EXPECT_EQ(missing, c.missing) << Utf16ToUtf8(c.tagged);
  }
}

}  // namespace
}  // namespace aurisona
