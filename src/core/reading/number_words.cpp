#include "core/reading/number_words.h"

#include <array>

namespace aurisona {
namespace {

constexpr std::array<std::u16string_view, 20> kOnes = {
    u"zero",    u"one",     u"two",       u"three",    u"four",     u"five",    u"six",
    u"seven",   u"eight",   u"nine",      u"ten",      u"eleven",   u"twelve",  u"thirteen",
    u"fourteen", u"fifteen", u"sixteen",  u"seventeen", u"eighteen", u"nineteen"};
constexpr std::array<std::u16string_view, 10> kTens = {
    u"", u"", u"twenty", u"thirty", u"forty", u"fifty", u"sixty", u"seventy", u"eighty", u"ninety"};

constexpr std::array<std::u16string_view, 20> kOrdinalOnes = {
    u"zeroth",     u"first",      u"second",     u"third",       u"fourth",
    u"fifth",      u"sixth",      u"seventh",    u"eighth",      u"ninth",
    u"tenth",      u"eleventh",   u"twelfth",    u"thirteenth",  u"fourteenth",
    u"fifteenth",  u"sixteenth",  u"seventeenth", u"eighteenth", u"nineteenth"};
constexpr std::array<std::u16string_view, 10> kOrdinalTens = {
    u"", u"", u"twentieth", u"thirtieth", u"fortieth", u"fiftieth", u"sixtieth", u"seventieth",
    u"eightieth", u"ninetieth"};

void Join(std::u16string& out, std::u16string_view word) {
  if (word.empty()) return;
  if (!out.empty()) out.push_back(u' ');
  out += word;
}

// 0 < n < 100.
std::u16string UnderHundred(uint64_t n) {
  if (n < 20) return std::u16string(kOnes[n]);
  std::u16string out(kTens[n / 10]);
  if (n % 10 != 0) Join(out, kOnes[n % 10]);
  return out;
}

// 0 < n < 1000; `and` joins the hundreds to the rest ("one hundred and five").
std::u16string UnderThousand(uint64_t n) {
  std::u16string out;
  if (n >= 100) {
    out = std::u16string(kOnes[n / 100]) + u" hundred";
    if (n % 100 != 0) Join(out, u"and");
  }
  if (n % 100 != 0) Join(out, UnderHundred(n % 100));
  return out;
}

constexpr uint64_t kEnglishLimit = 1'000'000'000'000ULL;
constexpr uint64_t kChineseLimit = 10'000'000'000'000'000ULL;

constexpr std::u16string_view kChineseDigits = u"零一二三四五六七八九";

std::u16string DigitsOf(uint64_t n) {
  std::u16string s;
  do {
    s.insert(s.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n != 0);
  return s;
}

// 0 < n < 10000 as one group of four places; `full` keeps a leading 一 before 十;
// `liang` reads 2 before 千 and 百 as 两.
std::u16string ChineseGroup(uint64_t n, bool full, bool liang) {
  static constexpr std::u16string_view kPlaces[] = {u"千", u"百", u"十", u""};
  std::u16string out;
  bool zero = false;
  const uint64_t digits[] = {n / 1000, n / 100 % 10, n / 10 % 10, n % 10};
  for (int k = 0; k < 4; ++k) {
    const uint64_t d = digits[k];
    if (d == 0) {
      if (!out.empty()) zero = true;
      continue;
    }
    if (zero) out += u"零";
    zero = false;
    if (liang && d == 2 && k < 2) {
      out += u"两";
    } else if (!(k == 2 && d == 1 && out.empty() && !full)) {
      out.push_back(kChineseDigits[d]);
    }
    out += kPlaces[k];
  }
  return out;
}

}  // namespace

bool ParseDigits(std::u16string_view digits, uint64_t* value) {
  if (digits.empty() || digits.size() > 18) return false;
  uint64_t v = 0;
  for (const char16_t c : digits) {
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + static_cast<uint64_t>(c - u'0');
  }
  *value = v;
  return true;
}

std::u16string EnglishDigits(std::u16string_view digits, std::u16string_view zero) {
  std::u16string out;
  for (const char16_t c : digits) {
    if (c < u'0' || c > u'9') continue;
    Join(out, c == u'0' ? zero : kOnes[static_cast<size_t>(c - u'0')]);
  }
  return out;
}

std::u16string EnglishCardinal(uint64_t n) {
  if (n == 0) return u"zero";
  if (n >= kEnglishLimit) return EnglishDigits(DigitsOf(n));
  static constexpr std::pair<uint64_t, std::u16string_view> kScales[] = {
      {1'000'000'000ULL, u"billion"}, {1'000'000ULL, u"million"}, {1'000ULL, u"thousand"}};
  std::u16string out;
  for (const auto& [scale, name] : kScales) {
    if (n >= scale) {
      Join(out, UnderThousand(n / scale));
      Join(out, name);
      n %= scale;
    }
  }
  if (n != 0) {
    // "one thousand and five": a last part below a hundred after a larger part.
    if (!out.empty() && n < 100) Join(out, u"and");
    Join(out, UnderThousand(n));
  }
  return out;
}

std::u16string EnglishOrdinal(uint64_t n) {
  if (n >= kEnglishLimit) return EnglishCardinal(n);
  const uint64_t last = n % 100;
  std::u16string head;
  if (n >= 100) head = EnglishCardinal(n - last);
  std::u16string tail;
  if (last == 0) {
    // "one hundredth", "two thousandth"
    if (head.empty()) return u"zeroth";
    return head + u"th";
  }
  if (last < 20) {
    tail = kOrdinalOnes[last];
  } else if (last % 10 == 0) {
    tail = kOrdinalTens[last / 10];
  } else {
    tail = std::u16string(kTens[last / 10]) + u" " + std::u16string(kOrdinalOnes[last % 10]);
  }
  if (head.empty()) return tail;
  return head + (last < 100 ? u" and " : u" ") + tail;
}

std::u16string EnglishFractionDenominator(uint64_t denominator, bool plural) {
  std::u16string word;
  if (denominator == 2) {
    word = plural ? u"halves" : u"half";
    return word;
  }
  if (denominator == 4) return plural ? u"quarters" : u"quarter";
  word = EnglishOrdinal(denominator);
  if (plural) word += u"s";
  return word;
}

std::u16string EnglishYear(uint64_t year) {
  if (year >= 10000 || year < 100) return EnglishCardinal(year);
  const uint64_t high = year / 100;
  const uint64_t low = year % 100;
  if (year >= 2000 && year < 2010) return EnglishCardinal(year);
  if (high % 10 == 0 && low == 0) return EnglishCardinal(year);  // 1000, 3000
  std::u16string out = UnderHundred(high);
  if (low == 0) return out + u" hundred";
  if (low < 10) return out + u" oh " + std::u16string(kOnes[low]);
  return out + u" " + UnderHundred(low);
}

std::u16string ChineseDigits(std::u16string_view digits, bool yao) {
  std::u16string out;
  for (const char16_t c : digits) {
    if (c < u'0' || c > u'9') continue;
    if (yao && c == u'1') {
      out += u"幺";
    } else {
      out.push_back(kChineseDigits[static_cast<size_t>(c - u'0')]);
    }
  }
  return out;
}

std::u16string ChineseCardinal(uint64_t n, bool liang) {
  if (n == 0) return u"零";
  if (n >= kChineseLimit) return ChineseDigits(DigitsOf(n));
  static constexpr std::u16string_view kGroups[] = {u"", u"万", u"亿", u"万亿"};
  uint64_t groups[4] = {n % 10000, n / 10000 % 10000, n / 100000000 % 10000, n / 1000000000000ULL};
  int top = 3;
  while (top > 0 && groups[top] == 0) --top;
  std::u16string out;
  bool zero = false;
  for (int g = top; g >= 0; --g) {
    const uint64_t part = groups[g];
    if (part == 0) {
      zero = true;
      continue;
    }
    // A gap before a group, or a group below a thousand after a higher one, takes 零.
    if (!out.empty() && (zero || part < 1000)) out += u"零";
    zero = false;
    out += ChineseGroup(part, !out.empty(), liang);
    out += kGroups[g];
  }
  if (liang && out.size() >= 2 && out[0] == u'二' &&
      (out[1] == u'百' || out[1] == u'千' || out[1] == u'万' || out[1] == u'亿')) {
    out[0] = u'两';
  }
  return out;
}

}  // namespace aurisona
