// The walk over hand-built segment lists: repeats, alternation, no-read spans.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/output/marker_walk.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

Segment Speech(const std::u16string& text, int32_t voice) { return Segment{kSegSpeech, voice, 0, 0, 0, text}; }
Segment Mark(int32_t kind, int32_t param = 0) { return Segment{kind, param, 0, 0, 0, {}}; }
Segment Music(const std::u16string& name, int32_t playTime) { return Segment{kSegMusic, playTime, 0, 0, 0, name}; }

// What the walk hands out that makes a sound, as "text/param" (pauses as "pN").
std::vector<std::string> Walk(std::vector<Segment>& list) {
  std::vector<std::string> out;
  MarkerWalk walk(list);
  size_t guard = 0;
  while (Segment* r = walk.Next()) {
    EXPECT_EQ(&list[walk.index()], r);
    if (++guard > 1000) {
      ADD_FAILURE() << "the walk does not end";
      break;
    }
    if (IsPauseSegment(r->kind)) {
      out.push_back("p" + std::to_string(r->kind));
    } else if (r->kind == kSegSpeech || r->kind == kSegMusic) {
      out.push_back(Utf16ToUtf8(r->text) + "/" + std::to_string(r->param));
    }
  }
  EXPECT_EQ(walk.Next(), nullptr);  // stays done
  return out;
}

using Seq = std::vector<std::string>;

TEST(OutputMarkerWalk, SameVoiceRepeatRendersItsSpanCountTimes) {
  std::vector<Segment> list{Speech(u"a", 0), Mark(kSegRepeatBegin, 3), Speech(u"b", 1), Mark(500),
                            Mark(kSegRepeatEnd, 3), Speech(u"c", 0)};
  EXPECT_EQ(Walk(list), (Seq{"a/0", "b/1", "p500", "b/1", "p500", "b/1", "p500", "c/0"}));
  EXPECT_EQ(list[4].param, 1);  // the count is used up
  EXPECT_EQ(list[1].param, 3);  // the begin keeps its count
  EXPECT_EQ(list[2].param, 1);  // a same-voice repeat swaps nothing

  std::vector<Segment> twice{Mark(kSegRepeatBegin, 2), Speech(u"x", 2), Mark(kSegRepeatEnd, 2)};
  EXPECT_EQ(Walk(twice), (Seq{"x/2", "x/2"}));
  EXPECT_EQ(twice[2].param, 1);
}

TEST(OutputMarkerWalk, AlternatingRepeatSwapsSpeechVoicesOnly) {
  // Count 3 around one male sentence: male, female, male.
  std::vector<Segment> one{Mark(kSegAltRepeatBegin, 3), Speech(u"s", 0), Mark(kSegAltRepeatEnd, 3)};
  EXPECT_EQ(Walk(one), (Seq{"s/0", "s/1", "s/0"}));
  EXPECT_EQ(one[2].param, 1);

  // Set-1 voices trade within their set; a music clip keeps its play time
  // (0 = whole clip, 2 s) on every pass.
  std::vector<Segment> mixed{Speech(u"before", 0),  Mark(kSegAltRepeatBegin, 2), Speech(u"m1", 2),
                             Music(u"whole.mp3", 0), Music(u"two.mp3", 2),       Speech(u"f1", 3),
                             Mark(kSegAltRepeatEnd, 2), Speech(u"after", 0)};
  EXPECT_EQ(Walk(mixed), (Seq{"before/0", "m1/2", "whole.mp3/0", "two.mp3/2", "f1/3", "m1/3", "whole.mp3/0",
                              "two.mp3/2", "f1/2", "after/0"}));
  // The list is left as the walk changed it: the span in its swapped voices.
  EXPECT_EQ(mixed[2].param, 3);
  EXPECT_EQ(mixed[5].param, 2);
  EXPECT_EQ(mixed[0].param, 0);
  EXPECT_EQ(mixed[7].param, 0);
}

TEST(OutputMarkerWalk, NoReadSpansAndStrayMarkersAreSteppedOver) {
  std::vector<Segment> list{Mark(kSegNoReadBegin), Mark(kSegNoReadEnd), Speech(u"a", 0), Mark(kSegNoReadBegin),
                            Mark(kSegNoReadEnd),   Mark(kSegNoReadBegin), Mark(kSegNoReadEnd), Speech(u"b", 1)};
  EXPECT_EQ(Walk(list), (Seq{"a/0", "b/1"}));

  // A repeat begin whose end never comes is passed over; so is a no-read
  // begin at the very end.
  std::vector<Segment> open{Speech(u"a", 0), Mark(kSegRepeatBegin, 3), Speech(u"b", 0), Mark(kSegAltRepeatBegin, 2),
                            Speech(u"c", 0), Mark(kSegNoReadBegin)};
  EXPECT_EQ(Walk(open), (Seq{"a/0", "b/0", "c/0"}));

  // An end right behind its begin: the begin steps over it, nothing repeats.
  std::vector<Segment> empty{Speech(u"a", 0), Mark(kSegRepeatBegin, 3), Mark(kSegRepeatEnd, 3),
                             Mark(kSegAltRepeatBegin, 4), Mark(kSegAltRepeatEnd, 4), Speech(u"b", 0)};
  EXPECT_EQ(Walk(empty), (Seq{"a/0", "b/0"}));

  std::vector<Segment> nothing;
  EXPECT_TRUE(Walk(nothing).empty());
  std::vector<Segment> markersOnly{Mark(kSegRepeatBegin, 2), Mark(kSegRepeatEnd, 2), Mark(kSegNoReadBegin),
                                   Mark(kSegNoReadEnd)};
  EXPECT_TRUE(Walk(markersOnly).empty());
}

TEST(OutputMarkerWalk, NoReadSpansInsideRepeats) {
  // The repeat goes back to the record after its begin, a no-read begin: the
  // span stays silent on every pass.
  std::vector<Segment> list{Mark(kSegAltRepeatBegin, 3), Mark(kSegNoReadBegin), Mark(kSegNoReadEnd), Speech(u"a", 0),
                            Mark(kSegNoReadBegin),         Mark(kSegNoReadEnd), Speech(u"b", 1),
                            Mark(kSegAltRepeatEnd, 3),     Speech(u"c", 0)};
  EXPECT_EQ(Walk(list), (Seq{"a/0", "b/1", "a/1", "b/0", "a/0", "b/1", "c/0"}));

  // A no-read span right behind a repeat end.
  std::vector<Segment> after{Mark(kSegRepeatBegin, 2), Speech(u"a", 0), Mark(kSegRepeatEnd, 2), Mark(kSegNoReadBegin),
                             Mark(kSegNoReadEnd), Mark(300)};
  EXPECT_EQ(Walk(after), (Seq{"a/0", "a/0", "p300"}));
}

TEST(OutputMarkerWalk, TwoRepeatsInARowKeepTheirOwnCounts) {
  std::vector<Segment> list{Mark(kSegRepeatBegin, 2),    Speech(u"a", 0), Mark(kSegRepeatEnd, 2),
                            Mark(kSegAltRepeatBegin, 3), Speech(u"b", 1), Mark(kSegAltRepeatEnd, 3)};
  EXPECT_EQ(Walk(list), (Seq{"a/0", "a/0", "b/1", "b/0", "b/1"}));
  EXPECT_EQ(list[2].param, 1);
  EXPECT_EQ(list[5].param, 1);
}

}  // namespace
}  // namespace aurisona
