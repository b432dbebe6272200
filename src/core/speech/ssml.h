// Prepares a sentence for eSpeak NG's SSML mode and maps eSpeak's character positions
// back to the sentence.
//
// Rule: a sentence that is a well-formed SSML fragment goes to eSpeak unchanged, so its
// markup is acted upon. Well-formed means: every "<" opens or closes a tag of a known SSML
// element (speak, voice, prosody, say-as, emphasis, break, mark, s, p, sub), written in
// lower case, with quoted attribute values, properly nested and all closed; and every "&"
// starts one of the five predefined entities (&amp; &lt; &gt; &quot; &apos;). Any other
// sentence is text: each &, <, >, " and ' in it is escaped, so it is spoken, not dropped.
// NUL characters become spaces and unpaired surrogates U+FFFD in either case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace aurisona {

bool IsWellFormedSsmlFragment(std::u16string_view text);

struct SsmlText {
  std::string utf8;  // what eSpeak reads, NUL-free
  bool escaped = false;
  // Per code point of utf8: the span [begin, end) of UTF-16 units of the source
  // character it came from. Every character of an entity maps to the escaped character.
  std::vector<int32_t> source_begin;
  std::vector<int32_t> source_end;

  // Maps `count` code points of utf8 from code point index `first` to a span of the
  // source text. False when the span is empty or starts beyond the text; an end beyond
  // the text is cut.
  bool MapToSource(int64_t first, int64_t count, int* offset, int* length) const;
};

SsmlText PrepareSsml(std::u16string_view text);

}  // namespace aurisona
