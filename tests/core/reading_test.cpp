// The reading step: what the speech engine is handed for a sentence, in both languages,
// the readings dictionary, and word timing that still points at the written words.
#include <gtest/gtest.h>

#include <string>

#include "core/test_util.h"
#include "core/reading/number_words.h"
#include "core/reading/read_aloud.h"
#include "core/reading/reading_engine.h"
#include "core/speech/composite_engine.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

struct Case {
  const char* written;
  const char* spoken;
};

std::string Read(const std::string& written, const ReadingDictionary* dictionary = nullptr) {
  return Utf16ToUtf8(ReadAloud(Utf8ToUtf16(written), dictionary).text);
}

void ExpectReadings(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(Read(c.written), c.spoken) << "written: " << c.written;
}

TEST(ReadingTest, EnglishKinds) {
  ExpectReadings({
      // times
      {"The train leaves at 7:30.", "The train leaves at seven thirty."},
      {"It closes at 5:00 p.m. today.", "It closes at five p.m. today."},
      {"Let's meet at 10.30 tomorrow.", "Let's meet at ten thirty tomorrow."},
      {"From 10am-12pm, at 3pm.", "From ten a.m. to twelve p.m., at three p.m."},
      // money
      {"£3, ¥20 and €5.", "three pounds, twenty yuan and five euros."},
      {"They paid $1 and 50p.", "They paid one dollar and fifty pence."},
      {"A ruler is 1.50, a bottle 1.25 litres.", "A ruler is one fifty, a bottle one point two five litres."},
      {"It made $5 million.", "It made five million dollars."},
      // phone numbers and codes
      {"Dial 120 or 110, not 110 people.", "Dial one two zero or one one zero, not one hundred and ten people."},
      {"Go to Room 302 at No.1 Middle School.", "Go to Room three oh two at number one Middle School."},
      {"She lives at 221B Baker Street.", "She lives at two hundred and twenty one B Baker Street."},
      {"Tel: 6543-2109.", "telephone: six five four three, two one zero nine."},
      {"Flight CA1234 on A4 paper.", "Flight C A one two three four on A four paper."},
      // years and dates
      {"The exam is on 3 May.", "The exam is on the third of May."},
      {"It happened on May 3rd, 1998.", "It happened on May the third, nineteen ninety eight."},
      {"From 1990-2000 in the 1990s.", "From nineteen ninety to two thousand in the nineteen nineties."},
      {"See you on Jan. 5, or 3rd May.", "See you on January the fifth, or the third of May."},
      {"It ends in Dec.", "It ends in December."},
      // titles and abbreviations
      {"Dr. Smith lives on Baker St. near St. Paul's.",
       "Doctor Smith lives on Baker Street near Saint Paul's."},
      {"He lives at No. 5 Park Rd. with Ms. White.", "He lives at number five Park Road with Miz White."},
      {"Bring food, e.g. bread, i.e. something, etc.", "Bring food, for example bread, that is something, et cetera."},
      {"It is on Fri., Jan. 21st.", "It is on Friday, January the twenty first."},
      // units fractions ranges scores
      {"Run 100 m at 25°C.", "Run one hundred meters at twenty five degrees Celsius."},
      {"It is -5°C and 60 km/h.", "It is minus five degrees Celsius and sixty kilometers per hour."},
      {"About 60% passed; 3.5 kg.", "About sixty percent passed; three point five kilograms."},
      {"Half is 1/2, and 3/4.", "Half is one half, and three quarters."},
      {"Read pages 5-10.", "Read pages five to ten."},
      {"We won 2:1 in the 21st game.", "We won two to one in the twenty first game."},
  });
}

TEST(ReadingTest, MandarinKinds) {
  ExpectReadings({
      {"时间是9:30-11:00。", "时间是九点三十分至十一点。"},
      {"下午2:00见。", "下午两点见。"},
      {"他2024年毕业。", "他二零二四年毕业。"},
      {"请拨打010-65432100或110。", "请拨打零幺零，六五四三二幺零零或幺幺零。"},
      {"手机13912345678。", "手机幺三九幺二三四五六七八。"},
      {"门票¥20，书$15。", "门票二十元，书十五美元。"},
      {"有25%的学生，1/2的人。", "有百分之二十五的学生，二分之一的人。"},
      {"比分是2:1。", "比分是二比一。"},
      {"Mr. Li来了。", "Mister Li来了。"},
      {"第5段，第7至9题，6月7日，1.5小时，0.5米。", "第五段，第七至九题，六月七日，一点五小时，零点五米。"},
      {"气温-5℃，速度60km/h。", "气温零下五摄氏度，速度每小时六十公里。"},
      {"房间是302室，共1005人，读2遍。", "房间是三零二室，共一千零五人，读两遍。"},
      {"电话8765 4321，航班CA1831，长120cm，售价1,200元。", "电话八七六五，四三二幺，航班CA幺八三幺，长一百二十厘米，售价一千两百元。"},
  });
}

TEST(ReadingTest, TextWithoutPatternsIsHandedOnUnchanged) {
  for (const char* text : {"Good morning, everyone.", "What will the man do on Saturday?", "TV, UK, OK.",
                           "第一节 听下面一段对话。", "I'm 'fine'; \"really\"!", "No, I don't."}) {
    EXPECT_EQ(Read(text), text);
  }
}

TEST(ReadingTest, NumberWordsAtTheirBoundaries) {
  EXPECT_EQ(Utf16ToUtf8(EnglishCardinal(0)), "zero");
  EXPECT_EQ(Utf16ToUtf8(EnglishCardinal(1005)), "one thousand and five");
  EXPECT_EQ(Utf16ToUtf8(EnglishCardinal(999999999999)).substr(0, 20), "nine hundred and nin");
  EXPECT_EQ(Utf16ToUtf8(EnglishCardinal(1000000000000)), "one zero zero zero zero zero zero zero zero zero zero zero zero");
  EXPECT_EQ(Utf16ToUtf8(EnglishOrdinal(100)), "one hundredth");
  EXPECT_EQ(Utf16ToUtf8(EnglishYear(1905)), "nineteen oh five");
  EXPECT_EQ(Utf16ToUtf8(EnglishYear(1900)), "nineteen hundred");
  EXPECT_EQ(Utf16ToUtf8(ChineseCardinal(10)), "十");
  EXPECT_EQ(Utf16ToUtf8(ChineseCardinal(10010)), "一万零一十");
  EXPECT_EQ(Utf16ToUtf8(ChineseCardinal(20000)), "两万");
  EXPECT_EQ(Utf16ToUtf8(ChineseCardinal(100000000)), "一亿");
}

TEST(ReadingDictionaryTest, EntriesComeBeforeTheRules) {
  std::vector<DictionaryProblem> problems;
  const ReadingDictionary dictionary = ReadingDictionary::Parse(
      "\xEF\xBB\xBF" "# readings\n"
      "NASA = N A S A\n"
      "\n"
      "no equals sign here\n"
      " = nothing written\n"
      "Room 101 = room one oh one\n"
      "学而时习之 = 学而时习之也\n"
      "loop = loop loop loop\n"
      "nasa = Nasa\n" +
          std::string(3000, 'x') + " = long\n" + "bad \xFF\xFE = x\n",
      &problems);
  ASSERT_EQ(problems.size(), 4u);
  EXPECT_EQ(problems[0].line, 4);
  EXPECT_EQ(problems[1].line, 5);
  EXPECT_EQ(problems[2].line, 10);
  EXPECT_EQ(problems[3].line, 11);
  // The later "nasa" replaced the first in its place; whole words without regard to case.
  ASSERT_EQ(dictionary.entries().size(), 4u);
  EXPECT_EQ(Read("Nasa and NASAL, in Room 101 at 9:30.", &dictionary), "Nasa and NASAL, in room one oh one at nine thirty.");
  EXPECT_EQ(Read("子曰学而时习之。", &dictionary), "子曰学而时习之也。");
  // An entry is read as it stands: it does not expand into itself.
  EXPECT_EQ(Read("loop", &dictionary), "loop loop loop");

  testing::TempDir dir;
  ASSERT_TRUE(dictionary.Save(dir / "readings.txt", nullptr));
  problems.clear();
  EXPECT_EQ(ReadingDictionary::Load(dir / "readings.txt", &problems).entries(), dictionary.entries());
  EXPECT_TRUE(problems.empty());
}

TEST(ReadingDictionaryTest, HostileFilesAreBounded) {
  testing::TempDir dir;
  std::vector<DictionaryProblem> problems;
  EXPECT_TRUE(ReadingDictionary::Load(dir / "missing.txt", &problems).empty());
  EXPECT_TRUE(problems.empty());
  testing::WriteBytes(dir / "big.txt", std::string(ReadingDictionary::kMaxFileBytes + 1, 'a'));
  EXPECT_TRUE(ReadingDictionary::Load(dir / "big.txt", &problems).empty());
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].line, 0);
  problems.clear();
  std::string many;
  for (size_t k = 0; k <= ReadingDictionary::kMaxEntries; ++k) many += "w" + std::to_string(k) + " = x\n";
  EXPECT_EQ(ReadingDictionary::Parse(many, &problems).entries().size(), ReadingDictionary::kMaxEntries);
  EXPECT_EQ(problems.size(), 1u);
}

TEST(ReadingEngineTest, WordsPointAtTheWrittenText) {
  ReadingSpeechEngine engine(CreateSpeechEngine());
  const std::u16string written = u"Dr. Smith paid $2.50 at 10.30 today.";
  SpeechAudio audio;
  ASSERT_EQ(engine.SynthesizeAll(written, u"", 0, 100, &audio), SynthesisStatus::kOk);
  std::vector<std::string> words;
  for (const WordBoundary& w : audio.words) {
    ASSERT_GE(w.offset, 0);
    ASSERT_LE(static_cast<size_t>(w.offset + w.length), written.size());
    words.push_back(Utf16ToUtf8(written.substr(static_cast<size_t>(w.offset), static_cast<size_t>(w.length))));
  }
  EXPECT_EQ(words, (std::vector<std::string>{"Dr.", "Smith", "paid", "$2.50", "at", "10.30", "today"}));
}

}  // namespace
}  // namespace aurisona
