// Fuzzes what templates read from text a teacher wrote: placeholder spans, a
// template's name, and the sentences of a speech record with placeholders in
// it. Spans are ordered, inside the text and start at an open bracket; a name
// taken is a plain file name; sentences lie inside the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/files/templates.h"
#include "core/output/timeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text(size / 2, u'\0');
  for (size_t i = 0; i + 1 < size; i += 2) text[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  int last = 0;
  for (const auto& [start, end] : aurisona::FindPlaceholders(text)) {
    if (start < last || end <= start || end > static_cast<int>(text.size())) std::abort();
    if (text[static_cast<size_t>(start)] != aurisona::kPlaceholderOpen) std::abort();
    last = end;
  }
  if (aurisona::CheckTemplateName(text) == aurisona::TemplateNameProblem::kNone &&
      (text.empty() || text.size() > aurisona::kMaxTemplateNameLength || text.find(u'/') != std::u16string::npos ||
       text[0] == u'.')) {
    std::abort();
  }
  for (const aurisona::SentenceSpan& s : aurisona::SplitSentences(text)) {
    if (s.offset < 0 || s.length <= 0 || static_cast<size_t>(s.offset + s.length) > text.size()) std::abort();
  }
  return 0;
}
