#include <gtest/gtest.h>

#include "core/script/memory_document.h"
#include "core/script/tagged_text.h"

namespace aurisona {
namespace {

struct Loaded {
  MemoryScriptDocument doc;
  std::vector<MarkRecord> marks;  // in document order
  std::u16string plain;
};

Loaded Read(std::u16string_view tagged, const MediaLists& media = {}) {
  Loaded l;
  TaggedTextReader(l.doc, media, tagged, true, false);
  l.plain = l.doc.Text(0, -1);
  for (int i = 0; i < l.doc.Length(); ++i) {
    if (auto r = l.doc.MarkAt(i)) l.marks.push_back(*r);
  }
  return l;
}

std::u16string RoundTrip(std::u16string_view tagged, const MediaLists& media = {}) {
  Loaded l = Read(tagged, media);
  return TaggedTextWriter(l.doc, media, 0, -1);
}

TEST(TaggedTextTest, EveryTagRoundTripsUnchanged) {
  MediaLists media;
  media.music = {u"intro.mp3", u"end.wav"};
  media.recordings = {u"r1.wav"};
  const std::u16string script =
      u"<禁读>演示<结束><男>Hello.<女>Hi!<男1>A<女1>B<提示音><暂停0.7秒><暂停30秒>"
      u"<重复1:3>x<结束1><重复2:12>y<结束2><音乐:end.wav><录音:r1.wav>";
  EXPECT_EQ(RoundTrip(script, media), script);
  const Loaded l = Read(script, media);
  ASSERT_EQ(l.marks.size(), 15u);
  EXPECT_EQ(l.marks[7], (MarkRecord{kMarkPause, 7}));
  EXPECT_EQ(l.marks[8], (MarkRecord{kMarkPause, 39}));
  EXPECT_EQ(l.marks[9], (MarkRecord{kMarkRepeatBegin, 3}));
  EXPECT_EQ(l.marks[10], (MarkRecord{kMarkRepeatEnd, 0}));
  EXPECT_EQ(l.marks[11], (MarkRecord{kMarkAltRepeatBegin, 12}));
  EXPECT_EQ(l.marks[13], (MarkRecord{kMarkMusic, 1}));
  EXPECT_EQ(l.marks[14], (MarkRecord{kMarkRecording, 0}));
  EXPECT_EQ(l.plain, u"\uFFFC演示\uFFFC\uFFFCHello.\uFFFCHi!\uFFFCA\uFFFCB\uFFFC\uFFFC\uFFFC\uFFFCx\uFFFC\uFFFCy\uFFFC\uFFFC\uFFFC");
}

TEST(TaggedTextTest, PauseValuesAreRoundedOrDropped) {
  EXPECT_EQ(RoundTrip(u"a<暂停1.5秒>b"), u"a<暂停1秒>b");
  EXPECT_EQ(RoundTrip(u"a<暂停0.75秒>b"), u"a<暂停0.7秒>b");
  EXPECT_EQ(RoundTrip(u"a<暂停2.5秒>b"), u"a<暂停2秒>b");
  EXPECT_EQ(RoundTrip(u"a<暂停0.1秒>b"), u"a<暂停0.1秒>b");
  // Outside 0.1..30 s, or no number: the tag vanishes.
  EXPECT_EQ(RoundTrip(u"a<暂停31秒>b"), u"ab");
  EXPECT_EQ(RoundTrip(u"a<暂停0.05秒>b"), u"ab");
  EXPECT_EQ(RoundTrip(u"a<暂停x秒>b"), u"ab");
  EXPECT_EQ(RoundTrip(u"a<暂停 3秒>b"), u"a<暂停3秒>b");
  // The closing bracket must stand at offsets 5..11: otherwise plain text.
  EXPECT_EQ(Read(u"<暂停1>").marks.size(), 0u);
  EXPECT_EQ(Read(u"<暂停1>").plain, u"<暂停1>");
  EXPECT_EQ(Read(u"<暂停1秒           >").plain, u"<暂停1秒           >");
}

TEST(TaggedTextTest, RepeatCountsBelowTwoBecomeTwoAndLargeOnesStay) {
  EXPECT_EQ(Read(u"<重复1:1>").marks.at(0), (MarkRecord{kMarkRepeatBegin, 2}));
  EXPECT_EQ(Read(u"<重复1:0>").marks.at(0), (MarkRecord{kMarkRepeatBegin, 2}));
  EXPECT_EQ(Read(u"<重复2:x>").marks.at(0), (MarkRecord{kMarkAltRepeatBegin, 2}));
  EXPECT_EQ(Read(u"<重复2:12>").marks.at(0), (MarkRecord{kMarkAltRepeatBegin, 12}));
  EXPECT_EQ(Read(u"<重复1:99999999999>").marks.at(0).param, 2147483647);
  // '>' beyond offset 19 is no tag.
  EXPECT_TRUE(Read(u"<重复1:2              >").marks.empty());
}

TEST(TaggedTextTest, MediaNamesAreFoundIgnoringCaseAndMissingOnesKeepTheirName) {
  MediaLists media;
  media.music = {u"A.MP3", u"b.mp3"};
  EXPECT_EQ(Read(u"<音乐:a.mp3>", media).marks.at(0), (MarkRecord{kMarkMusic, 0}));
  EXPECT_EQ(Read(u"<音乐:B.mp3>", media).marks.at(0), (MarkRecord{kMarkMusic, 1}));
  media.music = {u"b.mp3"};
  // Not in the list: the first missing name, not the first clip.
  EXPECT_EQ(Read(u"<音乐:a.mp3>", media).marks.at(0), (MarkRecord{kMarkMusic, -1}));
  EXPECT_EQ(media.missingMusic, std::vector<std::u16string>{u"a.mp3"});
  EXPECT_EQ(Read(u"<音乐>", media).marks.at(0), (MarkRecord{kMarkMusic, 0}));
  EXPECT_EQ(Read(u"<录音:x.wav>", media).marks.at(0), (MarkRecord{kMarkRecording, -1}));
  // No closing bracket: plain text.
  EXPECT_TRUE(Read(u"<音乐:a.mp3", media).marks.empty());
}

TEST(TaggedTextTest, WriterFallsBackForIndicesOutsideTheLists) {
  MemoryScriptDocument doc;
  doc.InsertMark({kMarkMusic, 5}, false);
  doc.InsertMark({kMarkRecording, -1}, false);
  MediaLists media;
  EXPECT_EQ(TaggedTextWriter(doc, media, 0, -1), u"<音乐><录音>");
  media.music = {u"first.mp3", u"second.mp3"};
  media.recordings = {u"me.wav"};
  EXPECT_EQ(TaggedTextWriter(doc, media, 0, -1), u"<音乐:first.mp3><录音:me.wav>");
  EXPECT_EQ(TaggedTextWriter(doc, media, 1, 99), u"<录音:me.wav>");
  EXPECT_EQ(TaggedTextWriter(doc, media, 2, 1), u"");
}

TEST(TaggedTextTest, VoiceShorthandsAndLookalikes) {
  Loaded l = Read(u"W:1. Did you see 9 AM: yes<m>x<男 >");
  ASSERT_EQ(l.marks.size(), 3u);
  EXPECT_EQ(l.marks[0].kind, kMarkFemale);
  EXPECT_EQ(l.marks[1].kind, kMarkMale);
  EXPECT_EQ(l.marks[2].kind, kMarkMale);
  EXPECT_EQ(l.plain, u"\uFFFC1. Did you see 9 A\uFFFC yes\uFFFCx<男 >");
}

TEST(TaggedTextTest, ReaderInsertsAtTheSelectionAndMarksMove) {
  MemoryScriptDocument doc;
  TaggedTextReader(doc, {}, u"<男>ab<女>", false, true);
  doc.SetSelection(2, 3);  // replace "b"
  TaggedTextReader(doc, {}, u"<提示音>XY", false, true);
  EXPECT_EQ(TaggedTextWriter(doc, {}, 0, -1), u"<男>a<提示音>XY<女>");
  EXPECT_EQ(doc.Selection(), (std::pair<int, int>{5, 5}));
  // Cleared records: the marks are plain characters now.
  doc.ClearMarks();
  EXPECT_FALSE(doc.MarkAt(0).has_value());
}

}  // namespace
}  // namespace aurisona
