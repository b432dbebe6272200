#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/files/document_files.h"
#include "core/script/memory_document.h"
#include "core/script/tagged_text.h"
#include "support/lsn.h"
#include "test_util.h"
#include "core/util/regular_file.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::Le32;
using testing::Lsn;
using testing::LsnMedia;
using testing::LsnText;
using testing::Names;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

class DocumentFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "Music");
    fs::create_directories(dir / "Record");
    media.musicFolder = dir / "Music";
    media.recordFolder = dir / "Record";
    media.lists = &lists;
    media.storePlayTime = [this](const std::u16string& name, int32_t s) { stored.emplace_back(name, s); };
  }
  std::u16string Script() const { return TaggedTextWriter(doc, lists, 0, -1); }

  TempDir dir;
  MediaLists lists;
  DocumentMedia media;
  MemoryScriptDocument doc;
  std::vector<std::pair<std::u16string, int32_t>> stored;
};

TEST_F(DocumentFilesTest, ListeningDocumentLayoutIsExact) {
  WriteBytes(dir / "Music" / "a.mp3", "MUSICDATA");
  WriteBytes(dir / "Record" / "r.wav", "REC");
  lists.music = {u"a.mp3"};
  lists.playTimes = {15};
  lists.recordings = {u"r.wav"};
  TaggedTextReader(doc, lists, u"<音乐:a.mp3>Hi.\r\n<录音:r.wav><音乐:a.mp3>", false, false);
  const SaveResult saved = SaveListeningDocument(dir / "x.lsn", doc, media);
  ASSERT_TRUE(saved.ok) << saved.detail;
  EXPECT_EQ(saved.mediaEmbedded, 2);
  EXPECT_EQ(ReadBytes(dir / "x.lsn"), Lsn(LsnMedia(2, u"a.mp3", "MUSICDATA", 15) + LsnMedia(3, u"r.wav", "REC"),
                                         u"<音乐:a.mp3>Hi.\r\n<录音:r.wav><音乐:a.mp3>"));
}

// a.mp3 stands as the document has it, b.mp3 differs, voice.wav is new.
TEST_F(DocumentFilesTest, OpeningPutsEachClipInPlaceAndRewritesOnlyWhatDiffers) {
  WriteBytes(dir / "Music" / "a.mp3", "MUSICDATA");
  WriteBytes(dir / "Music" / "b.mp3", "OLD");
  lists.music = {u"a.mp3", u"b.mp3"};
  lists.playTimes = {0, 0};
  WriteBytes(dir / "doc.lsn", Lsn(LsnMedia(2, u"a.mp3", "MUSICDATA", 20) + LsnMedia(2, u"b.mp3", "NEWDATA", 7) +
                                      LsnMedia(3, u"voice.wav", "RIFF"),
                                  u"<音乐:a.mp3>Hello\r\nworld"));
  const auto before = fs::last_write_time(dir / "Music" / "a.mp3");
  const OpenResult r = OpenDocument(dir / "doc.lsn", doc, media);
  ASSERT_EQ(r.status, OpenStatus::kOpened);
  EXPECT_EQ(r.mediaExtracted, 2);
  EXPECT_EQ(fs::last_write_time(dir / "Music" / "a.mp3"), before);
  EXPECT_FALSE(fs::exists(dir / "Music" / "a.mp3.bak"));
  EXPECT_EQ(ReadBytes(dir / "Music" / "b.mp3"), "NEWDATA");
  EXPECT_EQ(ReadBytes(dir / "Music" / "b.mp3.bak"), "OLD");
  EXPECT_EQ(ReadBytes(dir / "Record" / "voice.wav"), "RIFF");
  // The same clip takes the document's play time; the changed one is appended again with its own.
  EXPECT_EQ(lists.music, (std::vector<std::u16string>{u"a.mp3", u"b.mp3", u"b.mp3"}));
  EXPECT_EQ(lists.playTimes, (std::vector<int32_t>{20, 0, 7}));
  EXPECT_EQ(lists.recordings, (std::vector<std::u16string>{u"voice.wav"}));
  EXPECT_EQ(stored, (std::vector<std::pair<std::u16string, int32_t>>{{u"a.mp3", 20}, {u"b.mp3", 7}}));
  EXPECT_EQ(doc.Text(0, -1), u"\uFFFCHello\rworld");
}

TEST_F(DocumentFilesTest, UnsafeMediaNamesNeverWriteOutsideTheFolders) {
  for (const std::u16string name : {u"../evil.wav", u"..", u"a/b.wav", u"a\\b.wav", u"", u"..x.wav"}) {
    WriteBytes(dir / "doc.lsn", Lsn(LsnMedia(3, name, "EVIL"), u"ok"));
    const OpenResult r = OpenDocument(dir / "doc.lsn", doc, media);
    EXPECT_EQ(r.status, OpenStatus::kOpened);
    EXPECT_EQ(r.mediaSkipped, 1);
  }
  EXPECT_FALSE(fs::exists(dir / "evil.wav"));
  EXPECT_TRUE(fs::is_empty(dir / "Record"));
  EXPECT_TRUE(lists.recordings.empty());
}

TEST_F(DocumentFilesTest, DamagedDocumentsKeepTheScriptAndMediaReadSoFar) {
  TaggedTextReader(doc, lists, u"keep <男>me", false, false);
  const std::string good = std::string("lsn\x01", 4) + LsnMedia(3, u"first.wav", "ONE");
  const std::string cases[] = {
      good,                                                     // no text record
      good + Le32(5) + "junk",                                   // unknown kind
      good + LsnMedia(3, u"second.wav", "TWO").substr(0, 30),  // cut inside a record
      good + Le32(3) + Le32(0) + Le32(262) + std::string(262, 'a'),      // name over 260 bytes
      good + Le32(0) + Le32(1000) + "ab",                          // text shorter than declared
      good + "\x02\x00",                                         // kind cut short
  };
  for (const auto& bytes : cases) {
    WriteBytes(dir / "bad.lsn", bytes);
    const OpenResult r = OpenDocument(dir / "bad.lsn", doc, media);
    EXPECT_EQ(r.status, OpenStatus::kDamaged);
    EXPECT_EQ(Script(), u"keep <男>me");
  }
  EXPECT_EQ(ReadBytes(dir / "Record" / "first.wav"), "ONE");
  EXPECT_FALSE(fs::exists(dir / "Record" / "second.wav"));
}

// A document cut at every record boundary (and inside the text record):
// recovery gives back every whole clip and recording and the text read.
TEST_F(DocumentFilesTest, RecoveryOfADocumentCutAtEveryRecordBoundary) {
  const std::string magic("lsn\x01", 4);
  const std::string music = LsnMedia(2, u"song.mp3", "MUSIC", 7);
  const std::string recording = LsnMedia(3, u"me.wav", "VOICE");
  const std::u16string text = u"<男>Hello.\r\n听第一段";
  const std::string whole = magic + music + recording + LsnText(text);
  const size_t textAt = magic.size() + music.size() + recording.size();
  struct Cut {
    size_t length;
    std::u16string text;  // what is read of the text: none, part, all
    size_t recovered;     // whole media records
  };
  const Cut cuts[] = {
      {magic.size(), u"", 0},
      {magic.size() + music.size() - 2, u"", 0},  // inside its content
      {magic.size() + music.size(), u"", 1},
      {textAt, u"", 2},
      {textAt + 8, u"", 2},  // its header, no text
      {textAt + 8 + 2 * 6, text.substr(0, 6), 2},
      {whole.size() - 2, text, 2},                       // only the NUL missing
      {whole.size(), text, 2},
  };
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(cut.length);
    fs::remove_all(dir / "Music");
    fs::remove_all(dir / "Record");
    fs::create_directories(dir / "Music");
    fs::create_directories(dir / "Record");
    lists = MediaLists{};
    WriteBytes(dir / "cut.lsn", whole.substr(0, cut.length));
    doc.SetSelection(0, -1);
    TaggedTextReader(doc, lists, u"before", false, false);
    RecoveryReport report;
    const OpenResult r = RecoverDocument(dir / "cut.lsn", doc, media, &report);
    EXPECT_EQ(r.status, !cut.text.empty() ? OpenStatus::kOpened : OpenStatus::kDamaged);
    EXPECT_EQ(report.TextRead(), !cut.text.empty());
    EXPECT_EQ(report.textComplete, cut.text == text);
    EXPECT_EQ(report.text, cut.text);
    EXPECT_EQ(report.mediaRecovered.size(), cut.recovered);
    EXPECT_EQ(Script(), !cut.text.empty() ? NormalizeLineBreaks(cut.text) : u"before");
    EXPECT_EQ(fs::exists(dir / "Music" / "song.mp3"), cut.recovered >= 1);
    EXPECT_EQ(fs::exists(dir / "Record" / "me.wav"), cut.recovered >= 2);
    if (cut.recovered >= 1) {
      EXPECT_EQ(ReadBytes(dir / "Music" / "song.mp3"), "MUSIC");
      EXPECT_EQ(lists.music, std::vector<std::u16string>{u"song.mp3"});
    }
    // A media record cut inside is named as lost.
    const bool cutInMedia = cut.length == magic.size() + music.size() - 2;
    EXPECT_EQ(report.mediaLost, cutInMedia ? std::vector<std::u16string>{u"song.mp3"} : std::vector<std::u16string>{});
  }
}

// Records behind a damaged one are found again by their CRC.
TEST_F(DocumentFilesTest, RecoveryReadsOnBehindADamagedRecord) {
  const std::string magic("lsn\x01", 4);
  std::string music = LsnMedia(2, u"song.mp3", "MUSIC", 7);
  const std::string recording = LsnMedia(3, u"me.wav", "VOICE");
  const std::string tail = recording + LsnText(u"whole text");
  std::string flipped = music;
  flipped[flipped.size() - 1] ^= 0x20;  // content no longer matches its CRC
  std::string resized = music;
  resized[12 + 18 + 4] = 0x7F;  // a size that runs past the document
  const std::string cases[] = {magic + flipped + tail, magic + resized + tail, magic + "\x09junk" + tail};
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    WriteBytes(dir / "bad.lsn", cases[i]);
    // (A changed clip alone is not seen when opening: only recovery checks the content.)
    if (i > 0) {
      EXPECT_EQ(OpenDocument(dir / "bad.lsn", doc, media).status, OpenStatus::kDamaged);
    }
    RecoveryReport report;
    EXPECT_EQ(RecoverDocument(dir / "bad.lsn", doc, media, &report).status, OpenStatus::kOpened);
    EXPECT_EQ(Script(), u"whole text");
    EXPECT_TRUE(report.textComplete);
    EXPECT_EQ(report.mediaRecovered, std::vector<std::u16string>{u"me.wav"});
    EXPECT_EQ(report.mediaLost, i < 2 ? std::vector<std::u16string>{u"song.mp3"} : std::vector<std::u16string>{});
    EXPECT_GT(report.bytesLost, 0u);
    EXPECT_FALSE(fs::exists(dir / "Music" / "song.mp3"));
    EXPECT_EQ(ReadBytes(dir / "Record" / "me.wav"), "VOICE");
  }
}

TEST_F(DocumentFilesTest, TextFilesInEveryEncoding) {
  const std::u16string text = u"<男>中文 text\r\nline2";
  WriteBytes(dir / "u16.txt", "\xFF\xFE" + ToUtf16Le(text));
  WriteBytes(dir / "u8.txt", Utf16ToUtf8(text));
  WriteBytes(dir / "gb.dat", "<\xC4\xD0>\xD6\xD0\xCE\xC4 text\r\nline2");  // GB18030, any ending
  // Lines of both: each is read in its own encoding.
  WriteBytes(dir / "mixed.txt", Utf16ToUtf8(u"<男>中文 text\r\n") + "line2\xD6\xD0\xCE\xC4\r\n" +
                                    Utf16ToUtf8(u"第三行"));
  WriteBytes(dir / "bommixed.txt", "\xEF\xBB\xBF" + Utf16ToUtf8(u"<男>中文 text\r\n") + "line2\xD6\xD0\xCE\xC4");
  // An empty file, or a listening document with an empty script, replaces what the editor held by nothing.
  WriteBytes(dir / "empty.txt", "");
  WriteBytes(dir / "empty.lsn", Lsn("", u""));
  const std::pair<const char*, std::u16string> files[] = {
      {"u16.txt", u"<男>中文 text\rline2"},      {"u8.txt", u"<男>中文 text\rline2"},
      {"gb.dat", u"<男>中文 text\rline2"},
      {"mixed.txt", u"<男>中文 text\rline2中文\r第三行"}, {"bommixed.txt", u"<男>中文 text\rline2中文"},
      {"empty.txt", u""}, {"empty.lsn", u""},
  };
  for (const auto& [name, expected] : files) {
    MemoryScriptDocument d;
    TaggedTextReader(d, lists, u"old <男>text", false, false);
    ASSERT_EQ(OpenDocument(dir / name, d, media).status, OpenStatus::kOpened) << name;
    EXPECT_EQ(TaggedTextWriter(d, lists, 0, -1), expected) << name;
  }
}

TEST_F(DocumentFilesTest, TextSaveWritesUtf16WithByteOrderMarkAndCrLf) {
  TaggedTextReader(doc, lists, u"<女>a\nb", false, false);
  ASSERT_TRUE(SaveDocumentByName(dir / "out.TXT", doc, media).ok);
  EXPECT_EQ(ReadBytes(dir / "out.TXT"), "\xFF\xFE" + ToUtf16Le(u"<女>a\r\nb"));
  // Any name without the .lsn ending is a text file; .LSN is a listening document.
  ASSERT_TRUE(SaveDocumentByName(dir / "out.doc", doc, media).ok);
  EXPECT_EQ(ReadBytes(dir / "out.doc").substr(0, 2), "\xFF\xFE");
  ASSERT_TRUE(SaveDocumentByName(dir / "out.LSN", doc, media).ok);
  EXPECT_EQ(ReadBytes(dir / "out.LSN").substr(0, 4), std::string("lsn\x01", 4));
}

TEST_F(DocumentFilesTest, FailedOpenAndSaveChangeNothing) {
  TaggedTextReader(doc, lists, u"unsaved", false, false);
  EXPECT_EQ(OpenDocument(dir / "missing.lsn", doc, media).status, OpenStatus::kCannotOpen);
  EXPECT_EQ(Script(), u"unsaved");
  EXPECT_FALSE(SaveDocumentByName(dir / "no" / "such" / "dir.lsn", doc, media).ok);
  // A save onto a name that cannot be replaced leaves the old file whole.
  fs::create_directories(dir / "busy.txt");
  EXPECT_FALSE(SaveDocumentByName(dir / "busy.txt", doc, media).ok);
  EXPECT_TRUE(fs::is_directory(dir / "busy.txt"));
}

// Documents under hostile and unlucky conditions: nothing the user had is
// lost, nothing blocks on a FIFO or reads a device for ever.
class RobustDocumentTest : public DocumentFilesTest {
 protected:
  OpenResult Open(const std::string& bytes) {
    WriteBytes(dir / "d.lsn", bytes);
    return OpenDocument(dir / "d.lsn", doc, media);
  }
  // A document of `records` whose clips play 7 s, and a script.
  static std::string Doc(const std::string& records, const std::u16string& text = u"<音乐:a.mp3>") {
    return Lsn(records, text);
  }
  static std::string LsnMedia(uint32_t kind, const std::u16string& name, const std::string& content) {
    return testing::LsnMedia(kind, name, content, 7);
  }
};

TEST_F(RobustDocumentTest, NoBakThatHoldsSomethingElseIsEverOverwritten) {
  // Documents opened one after another, each carrying its own a.mp3 (one or
  // more records of it): every file that stood in the folder is still there,
  // under a .bak name, and a .bak that holds the same bytes is not made twice.
  struct Case {
    std::vector<std::string> before;  // a.mp3, a.mp3.bak, a.mp3.1.bak, ... as they stand
    std::vector<std::vector<std::string>> documents;
    std::vector<std::string> after;
  };
  const Case cases[] = {
      {{"USER"}, {{"DOC ONE"}, {"DOC TWO"}}, {"DOC TWO", "USER", "DOC ONE"}},
      {{"USER", "OLDER BAK"}, {{"DOC ONE"}}, {"DOC ONE", "OLDER BAK", "USER"}},
      {{"USER", "USER"}, {{"DOC ONE"}}, {"DOC ONE", "USER"}},
      {{"USER"}, {{"DOC ONE"}, {"DOC ONE"}, {"DOC TWO"}, {"USER"}}, {"USER", "USER", "DOC ONE", "DOC TWO"}},
      // A document's second record of a name replaces its first, and only the user's file is kept.
      {{"USER"}, {{"DOC ONE", "DOC TWO", "DOC ONE"}}, {"DOC ONE", "USER"}},
      // ("/": a folder, passed over.)
      {{"USER", "/"}, {{"DOC ONE"}}, {"DOC ONE", "/", "USER"}},
  };
  auto nameAt = [](size_t k) {
    return k == 0 ? std::string("a.mp3") : k == 1 ? std::string("a.mp3.bak") : "a.mp3." + std::to_string(k - 1) + ".bak";
  };
  for (const Case& c : cases) {
    fs::remove_all(dir / "Music");
    fs::create_directories(dir / "Music");
    for (size_t k = 0; k < c.before.size(); ++k) {
      if (c.before[k] == "/") fs::create_directories(dir / "Music" / nameAt(k) / "inside");
      else WriteBytes(dir / "Music" / nameAt(k), c.before[k]);
    }
    for (const auto& clips : c.documents) {
      std::string records;
      for (const std::string& clip : clips) records += LsnMedia(2, u"a.mp3", clip);
      const OpenResult opened = Open(Doc(records));
      ASSERT_EQ(opened.status, OpenStatus::kOpened) << opened.detail;
      EXPECT_TRUE(opened.mediaProblems.empty());
    }
    std::vector<std::string> after;
    for (size_t k = 0; fs::exists(dir / "Music" / nameAt(k)); ++k) {
      after.push_back(fs::is_directory(dir / "Music" / nameAt(k)) ? "/" : ReadBytes(dir / "Music" / nameAt(k)));
    }
    EXPECT_EQ(after, c.after) << c.documents.size() << " documents";
    EXPECT_EQ(Names(dir / "Music").size(), c.after.size());
  }
}

// Records whose names the file system refuses (120 characters: 242 bytes in
// the document, 364 as a file name) or a tag cannot carry are skipped and
// reported by name; the records after them still go in.
TEST_F(RobustDocumentTest, NamesThatCannotBeFilesOrTagsAreSkippedAndReported) {
  const std::u16string tooLong = std::u16string(116, u'听') + u".mp3";
  const OpenResult opened = Open(Doc(LsnMedia(2, tooLong, "DOC") + LsnMedia(2, u"a>b.mp3", "X") +
                                     LsnMedia(3, u"two\r\nlines.wav", "Y") + LsnMedia(3, u"bell\x07.wav", "Z") +
                                     LsnMedia(2, u"ok.mp3", "OK")));
  ASSERT_EQ(opened.status, OpenStatus::kOpened) << opened.detail;
  ASSERT_EQ(opened.mediaProblems.size(), 4u);
  EXPECT_EQ(opened.mediaProblems[0].name, tooLong);
  EXPECT_EQ(lists.music, (std::vector<std::u16string>{u"ok.mp3"}));
  EXPECT_TRUE(lists.recordings.empty());
  EXPECT_EQ(Names(dir / "Music"), (std::vector<std::string>{"ok.mp3"}));
  EXPECT_TRUE(fs::is_empty(dir / "Record"));
}

TEST_F(RobustDocumentTest, FifosAndDevicesAreNeverReadAsDocumentsOrMedia) {
  ASSERT_EQ(mkfifo((dir / "pipe.lsn").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((dir / "Music" / "a.mp3").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "zero.txt");
  for (const fs::path& path : {dir / "pipe.lsn", dir / "zero.txt", fs::path("/dev/zero")}) {
    const OpenResult opened = OpenDocument(path, doc, media);
    EXPECT_EQ(opened.status, OpenStatus::kCannotOpen) << path;
    EXPECT_NE(opened.detail.find("not a regular file"), std::string::npos) << opened.detail;
  }
  // A FIFO where the document's clip goes: refused, left as it is.
  const OpenResult opened = Open(Doc(LsnMedia(2, u"a.mp3", "DOC")));
  EXPECT_EQ(opened.mediaProblems.size(), 1u);
  EXPECT_TRUE(fs::is_fifo(dir / "Music" / "a.mp3"));
  // Saving leaves a FIFO clip out.
  lists.music = {u"a.mp3"};
  MemoryScriptDocument fresh;
  TaggedTextReader(fresh, lists, u"<音乐:a.mp3>", false, false);
  const SaveResult saved = SaveListeningDocument(dir / "out.lsn", fresh, media);
  EXPECT_TRUE(saved.ok);
  EXPECT_EQ(saved.mediaLeftOut, 1);
}

TEST_F(RobustDocumentTest, ReadsAreBoundedAndEveryFailureIsOneLine) {
  // (/proc/self/mem, regular with size 0: RobustCliTest, through compile.)
  // A text file above the limit (sparse: nothing is really written).
  {
    const int fd = ::open((dir / "huge.txt").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kMaxTextFileBytes + 1)), 0);
    ::close(fd);
  }
  const OpenResult huge = OpenDocument(dir / "huge.txt", doc, media);
  EXPECT_EQ(huge.status, OpenStatus::kCannotOpen);
  EXPECT_NE(huge.detail.find("larger than"), std::string::npos) << huge.detail;
  EXPECT_EQ(huge.detail.find('\n'), std::string::npos);
  std::string bytes;
  std::string why;
  EXPECT_TRUE(ReadRegularFile("/proc/self/status", &bytes, 1 << 20, &why)) << why;
  EXPECT_NE(bytes.find("Name:"), std::string::npos);
  EXPECT_FALSE(ReadRegularFile("/proc/self/status", &bytes, 8, &why));
}

}  // namespace
}  // namespace aurisona
