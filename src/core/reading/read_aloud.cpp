#include "core/reading/read_aloud.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "core/reading/number_words.h"
#include "core/reading/readings_dictionary.h"

namespace aurisona {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }
bool IsAlnum(char16_t c) { return IsDigit(c) || IsLetter(c); }
bool IsHan(char16_t c) { return c >= 0x4E00 && c <= 0x9FA5; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0 || c == 0x3000; }
bool IsRangeDash(char16_t c) {
  return c == u'-' || c == u'~' || c == 0x2013 || c == 0x2014 || c == 0xFF5E || c == 0x2212;
}
bool IsCurrencySign(char16_t c) {
  return c == u'$' || c == 0x00A3 || c == 0x20AC || c == 0x00A5 || c == 0xFFE5;
}

char16_t Lower(char16_t c) { return IsUpper(c) ? static_cast<char16_t>(c - u'A' + u'a') : c; }

std::u16string Lowered(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) c = Lower(c);
  return out;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

template <size_t N>
bool OneOf(std::u16string_view word, const std::array<std::u16string_view, N>& set) {
  return std::find(set.begin(), set.end(), word) != set.end();
}

constexpr std::array<std::u16string_view, 12> kMonths = {
    u"January", u"February", u"March",     u"April",   u"May",      u"June",
    u"July",    u"August",   u"September", u"October", u"November", u"December"};

// "Jan" .. "Dec", "Sept": the month's index, or -1.
int MonthIndex(std::u16string_view word, bool allow_short) {
  for (size_t m = 0; m < kMonths.size(); ++m) {
    if (word == kMonths[m]) return static_cast<int>(m);
    if (allow_short && word.size() == 3 && kMonths[m].substr(0, 3) == word) return static_cast<int>(m);
  }
  if (allow_short && word == u"Sept") return 8;
  return -1;
}

// Words before a number that make it a time ("at 10.30"), a year ("in 1998"), a phone
// number ("call 120") or a number read digit by digit ("room 302").
constexpr std::array<std::u16string_view, 13> kTimeWords = {
    u"at", u"by", u"until", u"till", u"from", u"before", u"after", u"around", u"about",
    u"since", u"between", u"starts", u"leaves"};
constexpr std::array<std::u16string_view, 13> kYearWords = {
    u"in", u"since", u"by", u"until", u"till", u"before", u"after", u"from", u"of", u"during",
    u"year", u"born", u"to"};
constexpr std::array<std::u16string_view, 10> kPhoneWords = {
    u"call", u"dial", u"phone", u"telephone", u"tel", u"mobile", u"fax", u"extension", u"ext",
    u"hotline"};
constexpr std::array<std::u16string_view, 5> kCodeWords = {u"room", u"flight", u"gate", u"seat",
                                                            u"train"};

struct Unit {
  std::u16string_view written;
  bool exact_case;
  std::u16string_view one;    // after exactly 1
  std::u16string_view other;  // after any other number
  std::u16string_view chinese;
};

// Longest first, so that "km/h" wins over "km" and "mm" over "m".
constexpr Unit kUnits[] = {
    {u"km/h", false, u"kilometer per hour", u"kilometers per hour", u"公里每小时"},
    {u"\u00B0C", true, u"degree Celsius", u"degrees Celsius", u"摄氏度"},
    {u"\u00B0F", true, u"degree Fahrenheit", u"degrees Fahrenheit", u"华氏度"},
    {u"\u2103", true, u"degree Celsius", u"degrees Celsius", u"摄氏度"},
    {u"mph", false, u"mile per hour", u"miles per hour", u"英里每小时"},
    {u"kph", false, u"kilometer per hour", u"kilometers per hour", u"公里每小时"},
    {u"km", false, u"kilometer", u"kilometers", u"公里"},
    {u"kg", false, u"kilogram", u"kilograms", u"公斤"},
    {u"cm", false, u"centimeter", u"centimeters", u"厘米"},
    {u"mm", false, u"millimeter", u"millimeters", u"毫米"},
    {u"ml", false, u"milliliter", u"milliliters", u"毫升"},
    {u"mins", true, u"minutes", u"minutes", u"分钟"},
    {u"min", true, u"minute", u"minutes", u"分钟"},
    {u"hrs", true, u"hours", u"hours", u"小时"},
    {u"hr", true, u"hour", u"hours", u"小时"},
    {u"\u00B0", true, u"degree", u"degrees", u"度"},
    {u"%", true, u"percent", u"percent", u""},
    {u"\uFF05", true, u"percent", u"percent", u""},
    {u"m", true, u"meter", u"meters", u"米"},
    {u"g", true, u"gram", u"grams", u"克"},
    {u"l", true, u"liter", u"liters", u"升"},
    {u"L", true, u"liter", u"liters", u"升"},
};

// The reading of written[from, limit): shared scanning for both languages.
class Reader {
 public:
  Reader(std::u16string_view text, int limit, SpokenText& out) : t_(text), limit_(limit), out_(out) {}

 protected:
  char16_t At(int k) const { return k >= 0 && k < limit_ ? t_[static_cast<size_t>(k)] : u'\0'; }
  int DigitsEnd(int k) const {
    while (IsDigit(At(k))) ++k;
    return k;
  }
  int LettersEnd(int k) const {
    while (IsLetter(At(k))) ++k;
    return k;
  }
  int SkipBlanks(int k) const {
    while (IsBlank(At(k))) ++k;
    return k;
  }
  std::u16string_view Span(int a, int b) const { return t_.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)); }
  uint64_t Value(int a, int b) const {
    uint64_t v = 0;
    return ParseDigits(Span(a, b), &v) ? v : UINT64_MAX;
  }
  // The ASCII word just before k (blanks skipped), lower case.
  std::u16string PrevWord(int k) const {
    int e = k;
    while (e > 0 && IsBlank(t_[static_cast<size_t>(e) - 1])) --e;
    if (e > 0 && (t_[static_cast<size_t>(e) - 1] == u':' || t_[static_cast<size_t>(e) - 1] == u'.')) --e;
    int b = e;
    while (b > 0 && IsLetter(t_[static_cast<size_t>(b) - 1])) --b;
    return Lowered(t_.substr(static_cast<size_t>(b), static_cast<size_t>(e - b)));
  }
  // Commas of thousands: "1,200,000". Returns the end and the digits without commas.
  int GroupedEnd(int a, std::u16string* digits) const {
    int e = DigitsEnd(a);
    *digits = std::u16string(Span(a, e));
    if (e - a > 3) return e;
    while (At(e) == u',' && DigitsEnd(e + 1) == e + 4) {
      *digits += Span(e + 1, e + 4);
      e += 4;
    }
    return e;
  }
  // The amount after a currency sign at i ("$ 1,200.50"): its whole part, the digits after
  // its point, and its end; -1 when no number follows.
  int AmountAfter(int i, uint64_t* whole, std::u16string* fraction) const {
    const int a = SkipBlanks(i + 1);
    if (!IsDigit(At(a))) return -1;
    std::u16string digits;
    int e = GroupedEnd(a, &digits);
    if (!ParseDigits(digits, whole)) return -1;
    if (At(e) == u'.' && IsDigit(At(e + 1))) {
      const int fe = DigitsEnd(e + 1);
      *fraction = std::u16string(Span(e + 1, fe));
      e = fe;
    }
    return e;
  }

  // A unit written at k (after blanks); its end, or -1.
  const Unit* UnitAt(int k, int* end) const {
    const int s = SkipBlanks(k);
    for (const Unit& u : kUnits) {
      const int e = s + static_cast<int>(u.written.size());
      if (e > limit_) continue;
      const std::u16string_view w = Span(s, e);
      if (u.exact_case ? w != u.written : !EqualsNoCase(w, u.written)) continue;
      if (IsLetter(u.written.back()) && IsLetter(At(e))) continue;
      if (u.written == u"l" || u.written == u"L" || u.written == u"m" || u.written == u"g") {
        if (At(e) == u'\'' || At(e) == u'-') continue;  // "5 m's", "m-" are no units
      }
      // "%" and "°" may stand right after the number; a letter unit may follow a blank.
      *end = e;
      return &u;
    }
    return nullptr;
  }
  // A number at a token start: not glued to a letter, digit or decimal point before it.
  bool NumberStart(int i) const {
    const char16_t p = i > 0 ? t_[static_cast<size_t>(i) - 1] : u' ';
    const char16_t pp = i > 1 ? t_[static_cast<size_t>(i) - 2] : u' ';
    // "No.1" starts a number; the "5" of "3.5" or "1,500" does not.
    return !IsDigit(p) && !((p == u'.' || p == u',') && IsDigit(pp));
  }

  std::u16string_view t_;
  int limit_;
  SpokenText& out_;
  bool last_number_ = false;  // the last thing said was a number (ranges)

 public:
  virtual ~Reader() = default;

  // Reads written[from, limit): what Match() takes is said, the rest kept as written.
  void Run(int from) {
    int i = from;
    while (i < limit_) {
      const char16_t c = At(i);
      const int next = Match(i, c);
      if (next > i) {
        i = next;
        continue;
      }
      if (!IsBlank(c)) last_number_ = false;
      out_.Keep(t_, i, i + 1);
      ++i;
    }
  }

 protected:
  // What this language's reading makes of written[i] (c): the index after what it read,
  // or -1 to keep the character as written.
  virtual int Match(int i, char16_t c) = 0;

  void Say(std::u16string_view words, int a, int b, bool number) {
    out_.Say(words, a, b);
    last_number_ = number;
  }
};

// ---------------------------------------------------------------------------
// English

class EnglishReader : public Reader {
 public:
  using Reader::Reader;

 protected:
  int Match(int i, char16_t c) override {
    int next = -1;
    if (IsCurrencySign(c)) {
      next = Currency(i);
    } else if (IsDigit(c) && NumberStart(i) && !IsLetter(At(i - 1))) {
      next = Number(i);
    } else if (IsLetter(c) && !IsAlnum(At(i - 1))) {
      next = Word(i);
    } else if (IsRangeDash(c) || c == u'-') {
      next = Dash(i);
    }
    return next;
  }

 private:

  // "a.m." "p.m." "am" "pm" (any case) at k after blanks: 'a' or 'p' and its end.
  char16_t MeridiemAt(int k, int* end) const {
    const int s = SkipBlanks(k);
    const char16_t ap = Lower(At(s));
    if (ap != u'a' && ap != u'p') return 0;
    int e = s + 1;
    if (At(e) == u'.') ++e;
    if (Lower(At(e)) != u'm') return 0;
    ++e;
    if (At(e) == u'.') ++e;
    if (IsLetter(At(e))) return 0;
    *end = e;
    return ap;
  }

  // The point after "a.m." ends the sentence too when a capital letter or the end follows.
  bool EndsSentenceAfter(int e) const {
    if (At(e - 1) != u'.') return false;
    const int s = SkipBlanks(e);
    return s >= limit_ || IsUpper(At(s)) || At(s) == u'\r' || At(s) == u'\n';
  }

  // The point of an abbreviation read out in full that also ends the sentence: said again.
  std::u16string Stop(int end) const { return EndsSentenceAfter(end) ? u"." : u""; }

  std::u16string Meridiem(char16_t ap) const { return ap == u'a' ? u"a.m." : u"p.m."; }

  // Minutes after the hour: "o'clock", "oh five", "thirty".
  static std::u16string Minutes(uint64_t mm, bool oclock, uint64_t h = 0) {
    if (mm == 0 && h > 12) return oclock ? u" hundred" : u"";  // 17:00 seventeen hundred
    if (mm == 0) return oclock ? u" o'clock" : u"";
    if (mm < 10) return u" oh " + EnglishCardinal(mm);
    return u" " + EnglishCardinal(mm);
  }

  // A time h:mm or h.mm from a to the end of its minutes at e; am/pm taken along.
  int Time(int a, uint64_t h, uint64_t mm, int e) {
    int me = 0;
    const char16_t ap = MeridiemAt(e, &me);
    std::u16string words = EnglishCardinal(h) + Minutes(mm, ap == 0, h);
    if (ap != 0) {
      words += u" " + Meridiem(ap);
      e = me;
    }
    Say(words, a, e, true);
    return e;
  }

  int Currency(int i) {
    const char16_t sign = At(i);
    uint64_t whole = 0;
    std::u16string cents;
    int e = AmountAfter(i, &whole, &cents);
    if (e < 0 || cents.size() > 2) return -1;
    // "$5 million", "$3m", "$2bn", "$5k"
    std::u16string scale;
    const int s = SkipBlanks(e);
    const int we = LettersEnd(s);
    const std::u16string word = Lowered(Span(s, we));
    if (word == u"million" || word == u"billion" || word == u"thousand") {
      scale = word;
      e = we;
    } else if (s == e && (word == u"m" || word == u"bn" || word == u"k")) {
      scale = word == u"m" ? u"million" : word == u"bn" ? u"billion" : u"thousand";
      e = we;
    }
    std::u16string_view unit_one, unit_many, sub_one, sub_many;
    switch (sign) {
      case u'$': unit_one = u"dollar"; unit_many = u"dollars"; sub_one = u"cent"; sub_many = u"cents"; break;
      case 0x00A3: unit_one = u"pound"; unit_many = u"pounds"; sub_one = u"penny"; sub_many = u"pence"; break;
      case 0x20AC: unit_one = u"euro"; unit_many = u"euros"; sub_one = u"cent"; sub_many = u"cents"; break;
      default: unit_one = u"yuan"; unit_many = u"yuan"; break;
    }
    std::u16string words;
    if (!scale.empty()) {
      words = EnglishCardinal(whole);
      if (!cents.empty()) words += u" point " + EnglishDigits(cents);
      words += u" " + scale + u" " + std::u16string(unit_many);
    } else if (sub_one.empty()) {
      // yuan: "twenty yuan", "three point five yuan"
      words = EnglishCardinal(whole);
      while (!cents.empty() && cents.back() == u'0') cents.pop_back();
      if (!cents.empty()) words += u" point " + EnglishDigits(cents);
      words += u" yuan";
    } else {
      uint64_t c = 0;
      if (cents.size() == 1) cents += u"0";
      if (!cents.empty()) ParseDigits(cents, &c);
      if (whole > 0 || c == 0) words = EnglishCardinal(whole) + u" " + std::u16string(whole == 1 ? unit_one : unit_many);
      if (c > 0) {
        if (!words.empty()) words += u" ";
        words += EnglishCardinal(c);
        // "forty five pounds ninety nine": pence go unsaid after pounds.
        if (whole == 0 || sign != 0x00A3) words += u" " + std::u16string(c == 1 ? sub_one : sub_many);
      }
    }
    Say(words, i, e, true);
    return e;
  }

  // "-" between two numbers reads "to"; before a number at a word's start, "minus".
  int Dash(int i) {
    const int n = SkipBlanks(i + 1);
    const bool number_after = IsDigit(At(n)) || (IsCurrencySign(At(n)) && IsDigit(At(n + 1)));
    if (!number_after) return -1;
    if (last_number_) {
      Say(u" to ", i, n, false);
      return n;
    }
    const char16_t p = i > 0 ? t_[static_cast<size_t>(i) - 1] : u' ';
    if (n == i + 1 && (i == 0 || IsBlank(p) || p == u'(') && At(i) != u'~') {
      Say(u"minus ", i, i + 1, false);
      return i + 1;
    }
    return -1;
  }

  // Digit groups joined by "-" or single blanks: a phone number, or a range of years.
  int Groups(int a) {
    std::vector<std::pair<int, int>> groups{{a, DigitsEnd(a)}};
    char16_t sep = 0;  // u' ' when every separator is a blank
    while (true) {
      const int e = groups.back().second;
      const char16_t c = At(e);
      if ((c == u'-' || c == 0x2013 || c == u' ') && IsDigit(At(e + 1))) {
        sep = (sep == 0 || sep == c) ? c : u'-';
        groups.push_back({e + 1, DigitsEnd(e + 1)});
      } else {
        break;
      }
    }
    if (groups.size() < 2) return -1;
    const int end = groups.back().second;
    if (IsLetter(At(end)) || (At(end) == u'.' && IsDigit(At(end + 1))) || At(end) == u':') return -1;
    size_t total = 0;
    size_t shortest = 99;
    for (const auto& [b, e] : groups) {
      total += static_cast<size_t>(e - b);
      shortest = std::min(shortest, static_cast<size_t>(e - b));
    }
    if (sep != u' ' && groups.size() == 2) {
      const uint64_t y1 = Value(groups[0].first, groups[0].second);
      const uint64_t y2 = Value(groups[1].first, groups[1].second);
      if (groups[0].second - groups[0].first == 4 && groups[1].second - groups[1].first == 4 &&
          y1 >= 1000 && y1 < 2100 && y2 >= 1000 && y2 < 2100) {
        Say(EnglishYear(y1) + u" to " + EnglishYear(y2), a, end, true);
        return end;
      }
    }
    const bool phone = (total >= 7 && shortest >= (sep == u' ' ? 3u : 2u)) ||
                       (sep != u' ' && At(a) == u'0' && total >= 6);
    if (!phone) return -1;
    std::u16string words;
    for (const auto& [b, e] : groups) {
      if (!words.empty()) words += u", ";
      words += EnglishDigits(Span(b, e));
    }
    Say(words, a, end, true);
    phone_ = true;
    return end;
  }

  int Number(int i) {
    std::u16string digits;
    const int ge = GroupedEnd(i, &digits);
    const bool grouped = ge != DigitsEnd(i);
    int e = ge;
    uint64_t n = 0;
    const bool parsed = ParseDigits(digits, &n);
    const std::u16string prev = PrevWord(i);
    const bool after_range = last_number_;

    if (!grouped) {
      if (const int g = Groups(i); g > 0) return g;
    }
    // h:mm, and scores such as 2:1
    if (!grouped && At(e) == u':' && IsDigit(At(e + 1))) {
      const int me = DigitsEnd(e + 1);
      const uint64_t mm = Value(e + 1, me);
      if (e - i <= 2 && me - (e + 1) == 2 && n <= 24 && mm <= 59) return Time(i, n, mm, me);
      if (e - i <= 2 && me - (e + 1) <= 2) {
        Say(EnglishCardinal(n) + u" to " + EnglishCardinal(mm), i, me, true);
        return me;
      }
      return -1;
    }
    // decimals, and h.mm where it is a time
    if (At(e) == u'.' && IsDigit(At(e + 1)) && parsed) {
      const int fe = DigitsEnd(e + 1);
      const std::u16string_view frac = Span(e + 1, fe);
      int ue = 0;
      const Unit* unit = UnitAt(fe, &ue);
      int me = 0;
      const bool meridiem = MeridiemAt(fe, &me) != 0;
      const uint64_t mm = Value(e + 1, fe);
      const bool clock = !grouped && e - i <= 2 && frac.size() == 2 && n <= 23 && mm <= 59;
      const bool range_time = IsRangeDash(At(fe)) && IsDigit(At(fe + 1)) &&
                              DigitsEnd(fe + 1) - (fe + 1) <= 2 && At(DigitsEnd(fe + 1)) == u'.';
      if (clock && (OneOf(prev, kTimeWords) || meridiem || range_time || after_range ||
                    Lowered(Span(SkipBlanks(fe), LettersEnd(SkipBlanks(fe)))) == u"o")) {
        return Time(i, n, mm, fe);
      }
      std::u16string words;
      if (!unit && frac.size() == 2 && n > 0 && !grouped && !(At(fe) == u'.' && IsDigit(At(fe + 1))) &&
          !MeasureWordAt(fe)) {
        // "1.50", "10.30": a price or a time read in pairs
        words = EnglishCardinal(n) + Minutes(mm, false);
      } else {
        words = EnglishCardinal(n) + u" point " + EnglishDigits(frac);
      }
      e = fe;
      if (unit) {
        words += u" " + std::u16string(unit->other);
        e = ue;
      }
      Say(words, i, e, true);
      return e;
    }
    if (!parsed) return -1;
    // fractions: 1/2, 3/4
    if (!grouped && At(e) == u'/' && IsDigit(At(e + 1)) && e - i <= 2) {
      const int de = DigitsEnd(e + 1);
      const uint64_t d = Value(e + 1, de);
      if (de - (e + 1) <= 2 && d >= 2 && !IsAlnum(At(de)) && At(de) != u'/') {
        Say(EnglishCardinal(n) + u" " + EnglishFractionDenominator(d, n != 1), i, de, true);
        return de;
      }
      return -1;
    }
    // ordinals: 1st, 22nd, 3rd, 4th
    if (!grouped && IsLetter(At(e)) && IsLetter(At(e + 1)) && !IsLetter(At(e + 2))) {
      const std::u16string suffix = Lowered(Span(e, e + 2));
      if (suffix == u"st" || suffix == u"nd" || suffix == u"rd" || suffix == u"th") {
        const int ms = SkipBlanks(e + 2);
        const int me = LettersEnd(ms);
        const int month = ms > e + 2 ? MonthIndex(Span(ms, me), true) : -1;
        if (month >= 0 && !IsLetter(At(me))) {
          int end = me;
          if (At(end) == u'.' && MonthIndex(Span(ms, me), false) < 0) ++end;
          Say(u"the " + EnglishOrdinal(n) + u" of " + std::u16string(kMonths[static_cast<size_t>(month)]) + Stop(end),
              i, end, true);
          year_context_ = true;
          return end;
        }
        Say(EnglishOrdinal(n), i, e + 2, true);
        year_context_ = true;
        return e + 2;
      }
    }
    // decades: 1990s, 80s
    if (!grouped && At(e) == u's' && !IsLetter(At(e + 1)) && n % 10 == 0 && (e - i == 4 || e - i == 2)) {
      std::u16string words = e - i == 4 ? EnglishYear(n) : EnglishCardinal(n);
      if (!words.empty() && words.back() == u'y') {
        words.back() = u'i';
        words += u"es";
      } else {
        words += u"s";
      }
      Say(words, i, e + 1, true);
      return e + 1;
    }
    // "50p"
    if (At(e) == u'p' && !IsLetter(At(e + 1))) {
      Say(EnglishCardinal(n) + (n == 1 ? u" penny" : u" pence"), i, e + 1, true);
      return e + 1;
    }
    // "3 May": the third of May
    if (!grouped && n >= 1 && n <= 31 && IsBlank(At(e))) {
      const int ms = SkipBlanks(e);
      const int me = LettersEnd(ms);
      const int month = MonthIndex(Span(ms, me), true);
      if (month >= 0 && !IsLetter(At(me))) {
        int end = me;
        if (At(end) == u'.' && MonthIndex(Span(ms, me), false) < 0) ++end;  // "Jan." but not "May."
        Say(u"the " + EnglishOrdinal(n) + u" of " + std::u16string(kMonths[static_cast<size_t>(month)]) + Stop(end),
            i, end, true);
        year_context_ = true;
        return end;
      }
    }
    std::u16string words;
    const size_t len = static_cast<size_t>(e - i);
    const bool year_like = !grouped && len == 4 && n >= 1000 && n < 2100;
    if (year_like && (OneOf(prev, kYearWords) || year_context_ || MonthIndex(prev, true) >= 0 ||
                      (after_range && last_was_year_))) {
      words = EnglishYear(n);
      last_was_year_ = true;
    } else if (!grouped && len >= 3 && (OneOf(prev, kPhoneWords) || (phone_ && (prev == u"and" || prev == u"or")))) {
      words = EnglishDigits(digits);
      phone_ = true;
    } else if (!grouped && len >= 3 && OneOf(prev, kCodeWords)) {
      words = EnglishDigits(digits, u"oh");
    } else if (!grouped && ((len >= 2 && digits[0] == u'0') || len >= 7)) {
      words = EnglishDigits(digits);
    } else {
      words = EnglishCardinal(n);
      last_was_year_ = false;
    }
    year_context_ = false;
    // units and am/pm
    int ue = 0;
    if (const Unit* unit = UnitAt(e, &ue)) {
      words += u" " + std::u16string(n == 1 && !grouped ? unit->one : unit->other);
      e = ue;
    } else if (int me = 0; n >= 1 && n <= 12 && MeridiemAt(e, &me) != 0) {
      const char16_t ap = MeridiemAt(e, &me);
      words += u" " + Meridiem(ap);
      e = me;
    }
    Say(words, i, e, true);
    return e;
  }

  // A word: titles, abbreviations, months with a day, letter-and-digit codes.
  int Word(int i) {
    const int we = LettersEnd(i);
    const std::u16string_view word = Span(i, we);
    const bool point = At(we) == u'.';
    const int after = point ? we + 1 : we;
    const int next = SkipBlanks(after);
    const bool capital_next = IsUpper(At(next)) && next > after;
    last_number_ = false;

    // e.g., i.e., a.m., p.m., U.S.-like dotted abbreviations
    if (we - i == 1 && point && IsLetter(At(we + 1)) && !IsLetter(At(we + 2))) {
      const std::u16string pair = Lowered(std::u16string(word) + std::u16string(1, At(we + 1)));
      int e = we + 2;
      if (At(e) == u'.') ++e;
      std::u16string words;
      if (pair == u"eg") words = u"for example";
      if (pair == u"ie") words = u"that is";
      if (!words.empty()) {
        if (EndsSentenceAfter(e)) words += u".";
        Say(words, i, e, false);
        return e;
      }
      return -1;
    }
    struct Title {
      std::u16string_view written, spoken;
    };
    static constexpr Title kTitles[] = {
        {u"Mr", u"Mister"}, {u"Mrs", u"Missus"}, {u"Ms", u"Miz"}, {u"Prof", u"Professor"},
        {u"Mt", u"Mount"},  {u"Rd", u"Road"},    {u"Ave", u"Avenue"}, {u"Jr", u"Junior"},
    };
    for (const Title& title : kTitles) {
      if (word == title.written && (point || title.written.size() <= 3)) {
        if (!point && word != u"Mr" && word != u"Mrs" && word != u"Ms") continue;
        Say(title.spoken, i, after, false);
        return after;
      }
    }
    if (word == u"Dr" || word == u"St") {
      // Before a name: Doctor, Saint. After one: Drive, Street.
      const bool before_name = capital_next;
      const bool dr = word == u"Dr";
      const std::u16string_view spoken =
          before_name ? (dr ? u"Doctor" : u"Saint") : (dr ? u"Drive" : u"Street");
      std::u16string words(spoken);
      if (point && !before_name && EndsSentenceAfter(after)) words += u".";
      Say(words, i, after, false);
      return after;
    }
    if ((word == u"No" || word == u"no" || word == u"NO") && point && IsDigit(At(next))) {
      Say(u"number", i, after, false);
      return after;
    }
    static constexpr std::pair<std::u16string_view, std::u16string_view> kWeekdays[] = {
        {u"Mon", u"Monday"},   {u"Tue", u"Tuesday"},  {u"Tues", u"Tuesday"}, {u"Wed", u"Wednesday"},
        {u"Thu", u"Thursday"}, {u"Thur", u"Thursday"}, {u"Thurs", u"Thursday"}, {u"Fri", u"Friday"},
        {u"Sat", u"Saturday"}, {u"Sun", u"Sunday"}};
    for (const auto& [w, full] : kWeekdays) {
      if (word == w && point) {
        Say(full, i, after, false);
        return after;
      }
    }
    const std::u16string lower = Lowered(word);
    if (lower == u"etc" && point) {
      Say(EndsSentenceAfter(after) ? u"et cetera." : u"et cetera", i, after, false);
      return after;
    }
    if (lower == u"tel" && (point || At(we) == u':')) {
      Say(u"telephone", i, we, false);
      return we;
    }
    if (lower == u"vs") {
      Say(u"versus", i, after, false);
      return after;
    }
    if (lower == u"approx" && point) {
      Say(u"approximately", i, after, false);
      return after;
    }
    // Months: "Jan." in full; "May 3" / "May 3rd" the day as an ordinal.
    int month = MonthIndex(word, point);
    if (month >= 0 && point && word.size() > 4) month = -1;
    if (month >= 0) {
      int end = (point && MonthIndex(word, false) < 0) ? after : we;  // "Jan." but not "May."
      std::u16string words(kMonths[static_cast<size_t>(month)]);
      const int ds = SkipBlanks(end);
      const int de = DigitsEnd(ds);
      const uint64_t day = Value(ds, de);
      if (ds > end && de > ds && de - ds <= 2 && day >= 1 && day <= 31 && At(de) != u':' &&
          !(At(de) == u'.' && IsDigit(At(de + 1))) && !UnitAt(de, &end)) {
        int de2 = de;
        const std::u16string suffix = Lowered(Span(de, std::min(de + 2, limit_)));
        if ((suffix == u"st" || suffix == u"nd" || suffix == u"rd" || suffix == u"th") && !IsLetter(At(de + 2))) de2 += 2;
        if (!IsLetter(At(de2))) {
          words += u" the " + EnglishOrdinal(day);
          end = de2;
          year_context_ = true;
        }
      } else {
        year_context_ = true;  // "May 1998"
      }
      if (end == after || end == we || end > we) {
        if (end == after && point) words += Stop(end);
        Say(words, i, end, false);
        return end;
      }
    }
    // Codes such as "A4", "CA1234", "B12": letters spelled, then the number.
    if (we - i <= 3 && IsDigit(At(we))) {
      bool upper = true;
      for (char16_t c : word) upper = upper && IsUpper(c);
      const int de = DigitsEnd(we);
      if (upper && !IsLetter(At(de)) && !(At(de) == u'.' && IsDigit(At(de + 1)))) {
        std::u16string words;
        for (char16_t c : word) {
          if (!words.empty()) words.push_back(u' ');
          words.push_back(c);
        }
        const std::u16string_view digits = Span(we, de);
        words += u" " + (digits.size() <= 2 && digits[0] != u'0' ? EnglishCardinal(Value(we, de))
                                                                   : EnglishDigits(digits));
        Say(words, i, de, false);
        return de;
      }
    }
    // Any other word stays whole, so that nothing inside it is taken for a number.
    out_.Keep(t_, i, we);
    return we;
  }

  // A word of measure after a number: "1.25 litres" is read with "point".
  bool MeasureWordAt(int k) const {
    static constexpr std::array<std::u16string_view, 18> kMeasures = {
        u"litre", u"liter", u"metre", u"meter", u"gram", u"kilo", u"mile", u"hour", u"minute",
        u"second", u"percent", u"degree", u"point", u"inch", u"feet", u"foot", u"time", u"kilogram"};
    const int s = SkipBlanks(k);
    if (s == k) return false;
    const std::u16string w = Lowered(Span(s, LettersEnd(s)));
    for (const size_t cut : {size_t{0}, size_t{1}, size_t{2}}) {  // "litre", "litres", "inches"
      if (w.size() <= cut + 2) continue;
      const std::u16string stem = w.substr(0, w.size() - cut);
      if (OneOf(std::u16string_view(stem), kMeasures)) return true;
      if (stem.size() > 5 && (stem.ends_with(u"metre") || stem.ends_with(u"meter"))) return true;
    }
    return false;
  }

  bool year_context_ = false;
  bool last_was_year_ = false;
  bool phone_ = false;  // a phone number was read: "and 110" is one too
};

// ---------------------------------------------------------------------------
// Mandarin

constexpr std::u16string_view kMeasureWords =
    u"个本只张件位条次天年岁周块元支双台辆杯瓶碗节门所家种份把间座层倍名头匹架艘首篇句幅遍趟场回声段道人米克斤公小";
constexpr std::u16string_view kAfterNumberNotQuantity = u"个元块人米名岁年月日号次页题分秒斤克路层楼班";

class MandarinReader : public Reader {
 public:
  using Reader::Reader;

 protected:
  int Match(int i, char16_t c) override {
    int next = -1;
    if (IsCurrencySign(c)) {
      next = Currency(i);
    } else if (IsDigit(c) && NumberStart(i)) {
      next = Number(i);
    } else if (IsRangeDash(c)) {
      next = Dash(i);
    } else if (IsLetter(c) && !IsAlnum(At(i - 1))) {
      next = Title(i);
    }
    return next;
  }

 private:

  // English titles inside a Chinese sentence: "Mr. Li".
  int Title(int i) {
    const int we = LettersEnd(i);
    const std::u16string_view word = Span(i, we);
    static constexpr std::pair<std::u16string_view, std::u16string_view> kTitles[] = {
        {u"Mr", u"Mister"}, {u"Mrs", u"Missus"}, {u"Ms", u"Miz"}, {u"Dr", u"Doctor"}, {u"Prof", u"Professor"}};
    for (const auto& [w, s] : kTitles) {
      if (word == w) {
        const int e = At(we) == u'.' ? we + 1 : we;
        Say(s, i, e, false);
        return e;
      }
    }
    out_.Keep(t_, i, we);
    return we;
  }

  // A decimal number's reading: 三点五, 零点五.
  std::u16string Decimal(uint64_t whole, std::u16string_view frac, bool liang) const {
    std::u16string out = ChineseCardinal(whole, liang);
    if (!frac.empty()) out += u"点" + ChineseDigits(frac);
    return out;
  }

  int Currency(int i) {
    const char16_t sign = At(i);
    uint64_t whole = 0;
    std::u16string frac;
    int e = AmountAfter(i, &whole, &frac);
    if (e < 0) return -1;
    while (!frac.empty() && frac.back() == u'0') frac.pop_back();
    std::u16string words = Decimal(whole, frac, true);
    // "¥20元" keeps its own 元
    std::u16string_view unit = sign == u'$' ? u"美元" : sign == 0x00A3 ? u"英镑" : sign == 0x20AC ? u"欧元" : u"元";
    if (unit == u"元" && (At(e) == u'元' || At(e) == u'块')) unit = u"";
    if (At(e) == u'万' || At(e) == u'亿') {
      words.push_back(At(e));
      ++e;
    }
    Say(words + std::u16string(unit), i, e, true);
    return e;
  }

  int Dash(int i) {
    const int n = SkipBlanks(i + 1);
    const bool number_after = IsDigit(At(n)) || (IsCurrencySign(At(n)) && IsDigit(At(n + 1)));
    if (!number_after) return -1;
    if (last_number_) {
      // "以3-0结束", "比分2-1": a score
      const bool score = score_context_ && At(i) == u'-';
      Say(score ? u"比" : u"至", i, n, false);
      return n;
    }
    if (At(i) == u'-' || At(i) == 0x2212) {
      Say(u"负", i, i + 1, false);
      return i + 1;
    }
    return -1;
  }

  // The characters before k (blanks, colons and 是 skipped) end with one of the words.
  bool AfterWord(int k, std::initializer_list<std::u16string_view> words) const {
    int e = k;
    while (e > 0) {
      const char16_t c = t_[static_cast<size_t>(e) - 1];
      if (IsBlank(c) || c == u':' || c == 0xFF1A || c == u'是' || c == u'为') {
        --e;
      } else {
        break;
      }
    }
    const std::u16string_view before = t_.substr(0, static_cast<size_t>(e));
    for (const std::u16string_view w : words) {
      if (before.size() >= w.size() && before.substr(before.size() - w.size()) == w) return true;
    }
    return false;
  }

  int Number(int i) {
    std::u16string digits;
    const int ge = GroupedEnd(i, &digits);
    const bool grouped = ge != DigitsEnd(i);
    int e = ge;
    uint64_t n = 0;
    if (!ParseDigits(digits, &n)) return -1;
    const size_t len = digits.size();
    if (!last_number_) score_context_ = AfterWord(i, {u"以", u"比分", u"比"});

    // Phone numbers and codes in groups: 010-65432100; years in a range before 年.
    auto group_separator = [&](int k) {
      const char16_t c = At(k);
      return (c == u'-' || c == 0x2013 || c == u' ') && IsDigit(At(k + 1));
    };
    if (!grouped && group_separator(e)) {
      std::vector<std::pair<int, int>> groups{{i, e}};
      bool blanks_only = true;
      while (group_separator(groups.back().second)) {
        blanks_only = blanks_only && At(groups.back().second) == u' ';
        const int b = groups.back().second + 1;
        groups.push_back({b, DigitsEnd(b)});
      }
      const int end = groups.back().second;
      size_t total = 0;
      size_t shortest = 99;
      for (const auto& [b, ge2] : groups) {
        total += static_cast<size_t>(ge2 - b);
        shortest = std::min(shortest, static_cast<size_t>(ge2 - b));
      }
      if (groups.size() == 2 && e - i == 4 && end - groups[1].first == 4 && At(SkipBlanks(end)) == u'年') {
        Say(ChineseDigits(Span(i, e)) + u"至" + ChineseDigits(Span(groups[1].first, end)), i, end, true);
        return end;
      }
      if ((total >= 7 && shortest >= (blanks_only ? 3u : 2u)) || (!blanks_only && At(i) == u'0' && total >= 6)) {
        std::u16string words;
        for (const auto& [b, ge2] : groups) {
          if (!words.empty()) words += u"，";
          words += ChineseDigits(Span(b, ge2), true);
        }
        Say(words, i, end, true);
        return end;
      }
    }
    // 8:30 八点三十分, 2:1 二比一
    if (!grouped && (At(e) == u':' || At(e) == 0xFF1A) && IsDigit(At(e + 1))) {
      const int me = DigitsEnd(e + 1);
      const uint64_t mm = Value(e + 1, me);
      if (len <= 2 && me - (e + 1) == 2 && n <= 24 && mm <= 59) {
        std::u16string words = (n == 2 ? std::u16string(u"两") : ChineseCardinal(n, false)) + u"点";
        if (mm > 0) words += (mm < 10 ? u"零" : u"") + ChineseCardinal(mm, false) + u"分";
        if (At(me) == u'点') words.pop_back();
        Say(words, i, me, true);
        return me;
      }
      if (len <= 2 && me - (e + 1) <= 2) {
        Say(ChineseCardinal(n, false) + u"比" + ChineseCardinal(mm, false), i, me, true);
        return me;
      }
      return -1;
    }
    std::u16string words;
    if (At(e) == u'.' && IsDigit(At(e + 1))) {
      const int fe = DigitsEnd(e + 1);
      words = Decimal(n, Span(e + 1, fe), false);
      e = fe;
    } else if (!grouped && At(e) == u'/' && IsDigit(At(e + 1)) && len <= 3) {
      const int de = DigitsEnd(e + 1);
      Say(ChineseCardinal(Value(e + 1, de), false) + u"分之" + ChineseCardinal(n, false), i, de, true);
      return de;
    } else if (!grouped && len == 4 && At(SkipBlanks(e)) == u'年') {
      words = ChineseDigits(digits);  // 二零二四年
    } else if (!grouped && len >= 3 && (At(e) == u'室' || At(e) == u'房' ||
                                        (At(e) == u'号' && At(e + 1) == u'房'))) {
      words = ChineseDigits(digits, true);  // 三零幺室
    } else if (!grouped && len >= 3 &&
               AfterWord(i, {u"电话", u"号码", u"拨打", u"拨", u"打", u"热线", u"手机", u"call"})) {
      words = ChineseDigits(digits, true);
    } else if (!grouped && len >= 3 && i > 0 && IsLetter(t_[static_cast<size_t>(i) - 1])) {
      words = ChineseDigits(digits, true);  // CA幺八三幺
    } else if (!grouped && !IsLetter(At(SkipBlanks(e))) && (digits == u"110" || digits == u"119" || digits == u"120" ||
                            digits == u"122" || digits == u"114" || digits == u"12315") &&
               kAfterNumberNotQuantity.find(At(SkipBlanks(e))) == std::u16string_view::npos &&
               !IsDigit(At(e)) && At(e) != u'%' && At(e) != 0xFF05) {
      words = ChineseDigits(digits, true);  // 幺幺零
    } else if (!grouped && ((len >= 2 && digits[0] == u'0') || len >= 7)) {
      words = ChineseDigits(digits, true);
    } else {
      const bool ordinal = i > 0 && t_[static_cast<size_t>(i) - 1] == u'第';
      const char16_t after = At(SkipBlanks(e));
      if (n == 2 && !ordinal && kMeasureWords.find(after) != std::u16string_view::npos) {
        words = u"两";
      } else if (n == 2 && !ordinal && after == u'点' && At(SkipBlanks(e) + 1) != u'五') {
        words = u"两";  // 2点 两点, but 2点5 stays a number
      } else {
        words = ChineseCardinal(n, !ordinal);
      }
    }
    // 25% 百分之二十五; 25°C 二十五摄氏度; 60km/h 每小时六十公里
    if (At(e) == u'%' || At(e) == 0xFF05) {
      Say(u"百分之" + words, i, e + 1, true);
      return e + 1;
    }
    int ue = 0;
    if (const Unit* unit = UnitAt(e, &ue); unit && !unit->chinese.empty()) {
      const std::u16string_view u = unit->chinese;
      if (u == u"公里每小时" || u == u"英里每小时") {
        words = u"每小时" + words + std::u16string(u.substr(0, u.size() - 3));
      } else {
        words += u;
      }
      e = ue;
    }
    // A temperature below zero: 零下五摄氏度 rather than 负五摄氏度.
    if (out_.text.size() >= 1 && out_.text.back() == u'负' &&
        (words.find(u"摄氏度") != std::u16string::npos || At(e) == u'度')) {
      out_.text.back() = u'零';
      out_.text.push_back(u'下');
      out_.begin.push_back(out_.begin.back());
      out_.end.push_back(out_.end.back());
    }
    Say(words, i, e, true);
    return e;
  }

  bool score_context_ = false;
};

bool HasHan(std::u16string_view text) {
  return std::any_of(text.begin(), text.end(), IsHan);
}

}  // namespace

bool IsAbbreviationPoint(std::u16string_view text, size_t i) {
  if (i >= text.size() || text[i] != u'.') return false;
  auto at = [&](size_t k) { return k < text.size() ? text[k] : u'\0'; };
  // Inner points: "a.m", "e.g", "U.S"
  if (i > 0 && IsLetter(text[i - 1]) && IsLetter(at(i + 1)) &&
      (i < 2 || !IsLetter(text[i - 2]))) {
    return true;
  }
  size_t b = i;
  while (b > 0 && IsLetter(text[b - 1])) --b;
  if (b == i) return false;
  if (at(i + 1) == u',' || at(i + 1) == u';' || at(i + 1) == u':') return true;  // "Fri., Jan. 21st"
  const std::u16string_view word = text.substr(b, i - b);
  size_t n = i + 1;
  while (n < text.size() && IsBlank(text[n])) ++n;
  const char16_t next = at(n);
  // A dotted abbreviation's last point: "a.m." "e.g." "i.e." "U.S."
  const bool dotted = word.size() == 1 && b >= 2 && text[b - 1] == u'.' && IsLetter(text[b - 2]);
  static constexpr std::array<std::u16string_view, 8> kTitles = {
      u"Mr", u"Mrs", u"Ms", u"Dr", u"Prof", u"St", u"Mt", u"Jr"};
  static constexpr std::array<std::u16string_view, 10> kWeekdays = {
      u"Mon", u"Tue", u"Tues", u"Wed", u"Thu", u"Thur", u"Thurs", u"Fri", u"Sat", u"Sun"};
  if (OneOf(word, kTitles) || OneOf(word, kWeekdays)) {
    // A title goes on to a name; "Baker St. near" goes on too.
    return n > i + 1 && n < text.size() && next != u'\r' && next != u'\n';
  }
  if (word == u"No" || word == u"no") return IsDigit(next) && n > i;
  const bool continues = n < text.size() && n > i + 1 && !IsUpper(next) && next != u'\r' &&
                         next != u'\n' && next != u'"' && next != 0x201C && !IsHan(next);
  if (dotted) return continues;
  if (EqualsNoCase(word, u"etc") || EqualsNoCase(word, u"vs") || EqualsNoCase(word, u"approx") ||
      word == u"Rd" || word == u"Ave" || word == u"Sept" ||
      (word.size() == 3 && MonthIndex(word, true) >= 0)) {
    return continues || ((word.size() == 3 || word == u"Sept") && MonthIndex(word, true) >= 0 && IsDigit(next));
  }
  return false;
}

SpokenText ReadAloud(std::u16string_view written, const ReadingDictionary* dictionary,
                     ReadingLanguage language) {
  SpokenText out;
  std::vector<DictionaryMatch> matches;
  if (dictionary != nullptr) matches = dictionary->Find(written);
  const bool chinese = language == ReadingLanguage::kBySentence ? HasHan(written)
                                                                : language == ReadingLanguage::kMandarin;
  int pos = 0;
  auto rules = [&](int from, int to) {
    if (to <= from) return;
    if (chinese) {
      MandarinReader(written, to, out).Run(from);
    } else {
      EnglishReader(written, to, out).Run(from);
    }
  };
  for (const DictionaryMatch& m : matches) {
    rules(pos, m.begin);
    out.Say(m.spoken, m.begin, m.end);
    pos = m.end;
  }
  rules(pos, static_cast<int>(written.size()));
  return out;
}

}  // namespace aurisona
