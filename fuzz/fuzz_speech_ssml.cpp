// Fuzzes the preparation of sentences for eSpeak's SSML mode: the input is UTF-16LE text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/speech/ssml.h"
#include "core/util/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text =
      aurisona::FromUtf16Le(std::string_view(reinterpret_cast<const char*>(data), size));
  const aurisona::SsmlText ssml = aurisona::PrepareSsml(text);
  if (ssml.source_begin.size() != ssml.source_end.size()) std::abort();
  if (ssml.utf8.find('\0') != std::string::npos) std::abort();
  // Each code point maps to the source character after the previous one's, or, inside
  // an entity, to the same one.
  int32_t previous_begin = -1;
  int32_t previous_end = 0;
  for (size_t i = 0; i < ssml.source_begin.size(); ++i) {
    const int32_t begin = ssml.source_begin[i];
    const int32_t end = ssml.source_end[i];
    if (end <= begin || end - begin > 2 || static_cast<size_t>(end) > text.size()) std::abort();
    if (begin != previous_end && !(begin == previous_begin && end == previous_end)) std::abort();
    previous_begin = begin;
    previous_end = end;
  }
  if (previous_end != static_cast<int32_t>(text.size())) std::abort();
  // Escaped text holds no markup, so it is a well-formed fragment itself.
  if (ssml.escaped && !aurisona::IsWellFormedSsmlFragment(aurisona::Utf8ToUtf16(ssml.utf8))) {
    std::abort();
  }
  int offset = 0;
  int length = 0;
  const auto count = static_cast<int64_t>(ssml.source_begin.size());
  if (count > 0 && (!ssml.MapToSource(count / 2, count, &offset, &length) || length <= 0)) {
    std::abort();
  }
  return 0;
}
