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

TEST(OutputMarkerWalk, RepeatsAlternationAndNoReadSpans) {
  const Segment rb2 = Mark(kSegRepeatBegin, 2), re2 = Mark(kSegRepeatEnd, 2);
  const Segment nb = Mark(kSegNoReadBegin), ne = Mark(kSegNoReadEnd);
  const struct {
    const char* what;
    std::vector<Segment> list;
    Seq heard;
    std::vector<std::pair<size_t, int32_t>> params;  // of the list after the walk
  } cases[] = {
      // The end's count is used up, the begin keeps its own; a same-voice repeat swaps nothing.
      {"same voice",
       {Speech(u"a", 0), Mark(kSegRepeatBegin, 3), Speech(u"b", 1), Mark(500), Mark(kSegRepeatEnd, 3), Speech(u"c", 0)},
       {"a/0", "b/1", "p500", "b/1", "p500", "b/1", "p500", "c/0"},
       {{4, 1}, {1, 3}, {2, 1}}},
      // Set-1 voices trade within their set; a music clip keeps its play time on
      // every pass; the span is left in its swapped voices.
      {"alternating, mixed",
       {Speech(u"before", 0), Mark(kSegAltRepeatBegin, 2), Speech(u"m1", 2), Music(u"whole.mp3", 0),
        Music(u"two.mp3", 2), Speech(u"f1", 3), Mark(kSegAltRepeatEnd, 2), Speech(u"after", 0)},
       {"before/0", "m1/2", "whole.mp3/0", "two.mp3/2", "f1/3", "m1/3", "whole.mp3/0", "two.mp3/2", "f1/2", "after/0"},
       {{2, 3}, {5, 2}, {0, 0}, {7, 0}}},
      {"stray no-read markers", {nb, ne, Speech(u"a", 0), nb, ne, nb, ne, Speech(u"b", 1)}, {"a/0", "b/1"}, {}},
      {"begins without an end",
       {Speech(u"a", 0), Mark(kSegRepeatBegin, 3), Speech(u"b", 0), Mark(kSegAltRepeatBegin, 2), Speech(u"c", 0), nb},
       {"a/0", "b/0", "c/0"},
       {}},
      {"an end right behind its begin",
       {Speech(u"a", 0), Mark(kSegRepeatBegin, 3), Mark(kSegRepeatEnd, 3), Mark(kSegAltRepeatBegin, 4),
        Mark(kSegAltRepeatEnd, 4), Speech(u"b", 0)},
       {"a/0", "b/0"},
       {}},
      {"markers only", {rb2, re2, nb, ne}, {}, {}},
      // The repeat goes back to the record after its begin, a no-read begin: the
      // span stays silent on every pass.
      {"no-read spans inside a repeat",
       {Mark(kSegAltRepeatBegin, 3), nb, ne, Speech(u"a", 0), nb, ne, Speech(u"b", 1), Mark(kSegAltRepeatEnd, 3),
        Speech(u"c", 0)},
       {"a/0", "b/1", "a/1", "b/0", "a/0", "b/1", "c/0"},
       {}},
      {"a no-read span behind a repeat end", {rb2, Speech(u"a", 0), re2, nb, ne, Mark(300)}, {"a/0", "a/0", "p300"}, {}},
      {"two repeats in a row",
       {rb2, Speech(u"a", 0), re2, Mark(kSegAltRepeatBegin, 3), Speech(u"b", 1), Mark(kSegAltRepeatEnd, 3)},
       {"a/0", "a/0", "b/1", "b/0", "b/1"},
       {{2, 1}, {5, 1}}},
  };
  for (const auto& c : cases) {
    std::vector<Segment> list = c.list;
    EXPECT_EQ(Walk(list), c.heard) << c.what;
    for (const auto& [index, param] : c.params) EXPECT_EQ(list[index].param, param) << c.what << ", " << index;
  }
}

}  // namespace
}  // namespace aurisona
