// Arbitrary bytes as a readings dictionary and as a sentence: the dictionary parses,
// saves and parses back to the same entries, and the reading of the sentence (in both
// languages, with and without the dictionary) maps every spoken unit back inside the
// written sentence and stays bounded in length.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/reading/read_aloud.h"
#include "core/reading/readings_dictionary.h"
#include "core/util/text.h"

using namespace aurisona;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckReading(std::u16string_view written, const ReadingDictionary* dictionary, ReadingLanguage language) {
  const SpokenText spoken = ReadAloud(written, dictionary, language);
  Check(spoken.begin.size() == spoken.text.size() && spoken.end.size() == spoken.text.size());
  // Every written unit is read as at most a few dozen units; a dictionary entry as 500.
  Check(spoken.text.size() <= (dictionary ? ReadingDictionary::kMaxSpoken + 64 : 64) * written.size() + 16);
  for (size_t k = 0; k < spoken.text.size(); ++k) {
    Check(spoken.begin[k] >= 0 && spoken.begin[k] <= spoken.end[k]);
    Check(static_cast<size_t>(spoken.end[k]) <= written.size());
  }
  int offset = 0, length = 0;
  if (spoken.MapToWritten(0, static_cast<int>(spoken.text.size()), &offset, &length)) {
    Check(offset >= 0 && length > 0 && static_cast<size_t>(offset + length) <= written.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The first line is the sentence, the rest the dictionary.
  const size_t eol = bytes.find('\n');
  const std::u16string sentence = Utf8ToUtf16(bytes.substr(0, eol));
  const std::string_view file = eol == std::string_view::npos ? std::string_view() : bytes.substr(eol + 1);

  std::vector<DictionaryProblem> problems;
  const ReadingDictionary dictionary = ReadingDictionary::Parse(file, &problems);
  Check(dictionary.entries().size() <= ReadingDictionary::kMaxEntries);
  for (const auto& entry : dictionary.entries()) Check(ReadingDictionary::CheckEntry(entry).empty());
  std::vector<DictionaryProblem> again;
  Check(ReadingDictionary::Parse(dictionary.Serialize(), &again).entries() == dictionary.entries());
  Check(again.empty());

  for (const ReadingLanguage language : {ReadingLanguage::kEnglish, ReadingLanguage::kMandarin}) {
    CheckReading(sentence, nullptr, language);
    CheckReading(sentence, &dictionary, language);
  }
  return 0;
}
