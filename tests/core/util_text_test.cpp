#include <gtest/gtest.h>

#include "core/util/text.h"

namespace aurisona {
namespace {

TEST(TextTest, Utf8RoundTripsChineseAndAstralCharacters) {
  const std::string s = "设置 a\xF0\x9F\x8E\xB5";
  const std::u16string w = Utf8ToUtf16(s);
  EXPECT_EQ(w.size(), 6u);  // 2 CJK, space, a, surrogate pair
  EXPECT_EQ(Utf16ToUtf8(w), s);
}

TEST(TextTest, Utf8ValidityRejectsOverlongsSurrogatesAndTruncation) {
  for (const char* good : {"plain ascii", "\xE4\xB8\xAD", "\xEF\xBF\xBD"}) EXPECT_TRUE(IsValidUtf8(good)) << good;
  // The last is "中文" in GB18030.
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE4\xB8", "\xD6\xD0\xCE\xC4"}) EXPECT_FALSE(IsValidUtf8(bad));
}

TEST(TextTest, Gb18030DecodesChineseAndReplacesBrokenBytes) {
  EXPECT_EQ(Gb18030ToUtf16("\xD6\xD0\xCE\xC4" "ab"), u"中文ab");
  const std::u16string broken = Gb18030ToUtf16("a\xFF" "b");
  EXPECT_EQ(broken.front(), u'a');
  EXPECT_EQ(broken.back(), u'b');
}

TEST(TextTest, LeadingIntFollowsProfileRules) {
  const std::pair<const char16_t*, int> cases[] = {{u"42", 42}, {u"-7x", -7}, {u"  15秒", 15}, {u"abc", 0}, {u"", 0},
                                                   {u"99999999999999", 2147483647}, {u"-99999999999999", -2147483647 - 1}};
  for (const auto& [text, value] : cases) EXPECT_EQ(LeadingInt(text), value) << Utf16ToUtf8(text);
}

}  // namespace
}  // namespace aurisona
