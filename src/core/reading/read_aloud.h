// The reading step: what a speech engine is handed for a sentence. The user's readings
// dictionary is applied first; then rules write numbers, times, prices, phone numbers,
// years, dates, units, fractions, ranges, scores, titles and abbreviations out in words
// the way a teacher reads them, in English for an English sentence and in Chinese
// characters for a Chinese one (a sentence with any character U+4E00..U+9FA5, as the
// script compiler decides). Text that none of them touches is handed on unchanged.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/reading/spoken_text.h"

namespace aurisona {

class ReadingDictionary;

enum class ReadingLanguage {
  kBySentence,  // Mandarin when the text holds a Chinese character, else English
  kEnglish,
  kMandarin,
};

SpokenText ReadAloud(std::u16string_view written, const ReadingDictionary* dictionary = nullptr,
                     ReadingLanguage language = ReadingLanguage::kBySentence);

// True when the "." at `i` belongs to a title or an abbreviation rather than ending a
// sentence: "Mr. Smith", "St. Paul's", "No. 5", "9 a.m. to", "e.g. this", "Jan. 5", and
// the inner points of "a.m", "e.g", "U.S". The "." of "a.m." or "etc." before a capital
// letter, a line break or the end still ends the sentence.
bool IsAbbreviationPoint(std::u16string_view text, size_t i);

}  // namespace aurisona
