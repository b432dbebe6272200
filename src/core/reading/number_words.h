// Numbers written out in words: English as a teacher in China reads them aloud
// ("one hundred and twenty", years in pairs, digits one by one), and Mandarin in
// Chinese characters (两 where it is the custom, 幺 for 1 in phone numbers).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace aurisona {

// "one hundred and twenty-one" without the hyphen: "one hundred and twenty one".
// Up to 999 999 999 999; larger values are read digit by digit.
std::u16string EnglishCardinal(uint64_t n);
// "first", "twenty second", "one hundredth".
std::u16string EnglishOrdinal(uint64_t n);
// The plural of an ordinal as a fraction's denominator: "halves", "thirds", "quarters".
std::u16string EnglishFractionDenominator(uint64_t denominator, bool plural);
// 1998 "nineteen ninety eight", 1905 "nineteen oh five", 1900 "nineteen hundred",
// 2000 "two thousand", 2008 "two thousand and eight", 2024 "twenty twenty four".
std::u16string EnglishYear(uint64_t year);
// Each digit as a word, `zero` for 0 ("zero" or "oh").
std::u16string EnglishDigits(std::u16string_view digits, std::u16string_view zero = u"zero");

// 十五, 一百一十, 两千零二十四, 三万. `liang` reads a leading 2 before 百/千/万/亿 as 两.
// Up to 10^16 - 1; larger values are read digit by digit.
std::u16string ChineseCardinal(uint64_t n, bool liang = true);
// Each digit as a character: 二零二四; `yao` reads 1 as 幺 (phone numbers).
std::u16string ChineseDigits(std::u16string_view digits, bool yao = false);

// Digits of an ASCII string as a number; false when empty, not all digits or too long.
bool ParseDigits(std::u16string_view digits, uint64_t* value);

}  // namespace aurisona
