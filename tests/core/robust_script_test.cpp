// Numbers in tags read as the C library reads them, and repeat counts that
// would render for ever.
#include <gtest/gtest.h>

#include "script/compiler.h"
#include "script/marks.h"
#include "script/memory_document.h"
#include "script/tagged_text.h"

namespace aurisona {
namespace {

std::vector<MarkRecord> MarksOf(const MemoryScriptDocument& doc) {
  std::vector<MarkRecord> marks;
  for (int i = 0; i < doc.Length(); ++i) {
    if (auto m = doc.MarkAt(i)) marks.push_back(*m);
  }
  return marks;
}

TEST(RobustScriptTest, WhitespaceBeforeATagNumberIsSkippedAsStrtolDoes) {
  MemoryScriptDocument doc;
  MediaLists lists;
  TaggedTextReader(doc, lists, u"<重复1:\r\n12>a<结束1><暂停\n2秒><重复2:\v\f 3>b<结束2><暂停\t0.5秒>", false, false);
  const std::vector<MarkRecord> marks = MarksOf(doc);
  ASSERT_EQ(marks.size(), 6u);
  EXPECT_EQ(marks[0], (MarkRecord{kMarkRepeatBegin, 12}));
  EXPECT_EQ(marks[2], (MarkRecord{kMarkPause, 11}));
  EXPECT_EQ(marks[3], (MarkRecord{kMarkAltRepeatBegin, 3}));
  EXPECT_EQ(marks[5], (MarkRecord{kMarkPause, 5}));
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

TEST(RobustScriptTest, ANameSpeltExactlyComesBeforeOneThatDiffersInCase) {
  MemoryScriptDocument doc;
  MediaLists lists;
  lists.music = {u"a.mp3", u"A.mp3"};
  lists.recordings = {u"Take.wav", u"take.wav"};
  TaggedTextReader(doc, lists, u"<音乐:A.mp3><音乐:a.mp3><音乐:A.MP3><录音:take.wav><录音:TAKE.WAV>", false, false);
  const std::vector<MarkRecord> marks = MarksOf(doc);
  ASSERT_EQ(marks.size(), 5u);
  EXPECT_EQ(marks[0].param, 1);
  EXPECT_EQ(marks[1].param, 0);
  EXPECT_EQ(marks[2].param, 0);  // no exact name: the first that differs in case
  EXPECT_EQ(marks[3].param, 1);
  EXPECT_EQ(marks[4].param, 0);
}

}  // namespace
}  // namespace aurisona
