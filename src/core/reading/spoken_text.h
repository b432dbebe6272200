// A sentence as it is handed to a speech engine, with the way back to the sentence as
// written: every UTF-16 unit of the spoken text knows the span of written text it reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace aurisona {

struct SpokenText {
  std::u16string text;
  // Per unit of `text`: the written span [begin, end) it comes from.
  std::vector<int32_t> begin;
  std::vector<int32_t> end;

  // Copies written[from, to) as it stands.
  void Keep(std::u16string_view written, int from, int to);
  // Reads written[from, to) as `words`. A blank is put between words and the
  // text around them where two ASCII letters or digits would otherwise touch.
  void Say(std::u16string_view words, int from, int to);

  // The written span of the spoken units [offset, offset + length), for word
  // timing; false when that span is empty or outside the text.
  bool MapToWritten(int offset, int length, int* written_offset, int* written_length) const;

 private:
  void Push(char16_t c, int32_t from, int32_t to);
  bool said_ = false;  // the last units came from Say()
};

}  // namespace aurisona
