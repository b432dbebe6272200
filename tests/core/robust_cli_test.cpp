// aurisona-cli against hostile and unlucky input: FIFOs, devices, links,
// clips that cannot be written, signals at awkward times.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <tuple>

#include "core/output_test_support.h"
#include "support/cli_suite.h"
#include "support/lsn.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::Lines;
using testing::Names;
using testing::ReadBytes;
using testing::WriteBytes;

class RobustCliTest : public testing::CliSuite {
 protected:
  // Starts the tool with TMPDIR set to a private folder, standard error to
  // err.txt; with `fileSizeLimit`, no file may grow beyond that many bytes.
  pid_t Start(std::vector<std::string> args, const std::string& tmpdir = "", rlim_t fileSizeLimit = RLIM_INFINITY) {
    fs::create_directories(dir / "tmp");
    args.insert(args.begin(), AURISONA_CLI_PATH);
    testing::ChildOptions options;
    options.env = {"TMPDIR=" + (tmpdir.empty() ? P("tmp") : tmpdir)};
    options.err = dir / "err.txt";
    options.fileSizeLimit = fileSizeLimit;
    return testing::StartChild(args, options);
  }
  // Waits for the first bytes of the MP3 being written beside out.mp3.
  bool WaitForOutput() const { return testing::WaitForFile(dir.path(), ".out.mp3."); }
  int Wait(pid_t child) const { return testing::WaitChild(child); }
  // Fails with `code`, in one line that names `what`.
  static void ExpectOneLineError(const CliRun& run, int code, const std::string& what = "") {
    EXPECT_EQ(run.exitCode, code) << run.err;  // not ended by a signal, no abort
    EXPECT_EQ(Lines(run.err), 1u) << run.err;
    EXPECT_NE(run.err.find(what), std::string::npos) << run.err;
  }
  // No temporary or speech file in TMPDIR, nor a half file under a hidden name.
  void ExpectNoTemporaryFiles() const {
    EXPECT_TRUE(fs::is_empty(dir / "tmp")) << Names(dir / "tmp").front();
    for (const std::string& name : Names(dir.path())) EXPECT_NE(name.front(), '.') << name;
  }
  void MakeTheDataDirectory() const { ASSERT_EQ(Cli("compile " + P("none.txt")).exitCode, 1); }
};

// Read, devices and FIFOs would never end; played, they would hold the player for ever.
TEST_F(RobustCliTest, DevicesProcFilesAndAnEmptyDataDirAreOneLineErrors) {
  ASSERT_EQ(mkfifo(P("pipe.txt").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(P("pipe.wav").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "zero.mp3");
  WriteBytes(dir / "s.txt", "Hello.");
  const std::tuple<std::string, int, std::string> cases[] = {
      {"compile /dev/zero", 1, "/dev/zero"},
      {"compile /proc/self/mem", 1, "/proc/self/mem"},
      {"compile " + P("pipe.txt"), 1, P("pipe.txt")},
      {"play " + P("zero.mp3"), 1, ""},
      {"play " + P("pipe.wav"), 1, ""},
      {"compile " + P("s.txt") + " --data-dir /dev/null", 1, ""},
      {"compile " + P("s.txt") + " --data-dir " + P("s.txt"), 1, ""},
  };
  for (const auto& [args, code, what] : cases) {
    ExpectOneLineError(args.find("--data-dir") == std::string::npos ? Cli(args) : testing::RunCli(args, dir.path()),
                       code, what);
  }
  const CliRun empty = testing::RunCli("compile " + P("s.txt") + " --data-dir ''", dir.path());
  EXPECT_EQ(empty.exitCode, 2);
  EXPECT_NE(empty.err.find("--data-dir"), std::string::npos) << empty.err;
}

TEST_F(RobustCliTest, AClipTheDocumentCannotPutInPlaceFailsConvertAndRender) {
  MakeTheDataDirectory();
  const std::string clip = testing::Mp3Of(testing::Sine(44100, 2, 441, 44100, 10000));
  // A name longer than the file system allows, in the Music folder and in
  // render's scratch folder.
  std::u16string name(116, u'听');
  name += u".mp3";
  WriteBytes(dir / "long.lsn", testing::Lsn(testing::LsnMedia(2, name, clip), u"<音乐:" + name + u">"));
  ExpectOneLineError(Cli("convert " + P("long.lsn") + " " + P("out.lsn")), 1, Utf16ToUtf8(name));
  ExpectOneLineError(Cli("render " + P("long.lsn") + " -o " + P("out.mp3") + " --quiet"), 1);
  EXPECT_FALSE(fs::exists(dir / "out.lsn") || fs::exists(dir / "out.mp3"));
}

TEST_F(RobustCliTest, AClipThatIsAFifoADeviceOrNoSoundFailsTheRenderByName) {
  MakeTheDataDirectory();
  ASSERT_EQ(mkfifo((Data() / "Music" / "fifo.mp3").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", Data() / "Music" / "zero.wav");
  std::string noise(100000, '\0');
  std::srand(3);
  for (char& c : noise) c = char(std::rand());
  WriteBytes(Data() / "Music" / "noise.wav", "RIFF\x10\0\0\0WAVE" + noise);
  WriteBytes(Data() / "Music" / "noise.mp3", noise);
  for (const char* clip : {"fifo.mp3", "zero.wav", "noise.wav", "noise.mp3"}) {
    WriteBytes(dir / "s.txt", std::string("<音乐:") + clip + "><暂停1秒>");
    // Neither is read, and the programme is not made without it.
    ExpectOneLineError(Cli("render " + P("s.txt") + " -o " + P("out.mp3") + " --quiet"), 1, clip);
    EXPECT_FALSE(fs::exists(dir / "out.mp3"));
  }
  for (const char* clip : {"fifo.mp3", "zero.wav", "noise.wav", "noise.mp3"}) fs::remove(Data() / "Music" / clip);
}

TEST_F(RobustCliTest, CtrlCWhileConvertPutsMediaInPlaceLosesNoFileAndLeavesNoTemporaryFile) {
  // 3000 recordings, each flushed to disk as it is put into the Record folder.
  std::string records;
  for (int k = 0; k < 3000; ++k) {
    records += testing::LsnMedia(3, Utf8ToUtf16("c" + std::to_string(k) + ".wav"), std::string(100, char(k)));
  }
  WriteBytes(dir / "many.lsn", testing::Lsn(records, u"Hello."));
  MakeTheDataDirectory();
  const fs::path data = Data();
  // The user's own recordings of those names: each is kept aside as the
  // document's takes its place, whenever the signal comes.
  for (int k = 0; k < 3000; ++k) WriteBytes(data / "Record" / ("c" + std::to_string(k) + ".wav"), "USER " + std::to_string(k));
  const pid_t child = Start({"convert", P("many.lsn"), P("out.lsn"), "--data-dir", data.string()});
  testing::WaitUntil(
      [&] {
        const std::vector<std::string> names = Names(data / "Record");
        return std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.ends_with(".bak"); }) >= 20;
      },
      std::chrono::seconds(60));
  kill(child, SIGINT);
  const int code = Wait(child);
  for (int k = 0; k < 3000; ++k) {
    const fs::path clip = data / "Record" / ("c" + std::to_string(k) + ".wav");
    ASSERT_TRUE(fs::exists(clip)) << clip;  // never missing, not even for a moment
    const std::string user = "USER " + std::to_string(k);
    if (ReadBytes(clip) != user) {
      ASSERT_EQ(ReadBytes(fs::path(clip.string() + ".bak")), user) << clip;
    }
  }
  if (code == 0) GTEST_SKIP() << "the conversion ended before the signal";
  EXPECT_EQ(code, 130) << ReadBytes(dir / "err.txt");
  EXPECT_FALSE(fs::exists(dir / "out.lsn"));
  for (const std::string& name : Names(data / "Record")) EXPECT_NE(name.front(), '.') << name;
  for (const std::string& name : Names(dir.path())) EXPECT_NE(name.front(), '.') << name;
  fs::remove_all(data / "Record");
  fs::create_directories(data / "Record");
}

TEST_F(RobustCliTest, SignalsDuringARenderLeaveNoTemporaryFiles) {
  std::string script;
  for (int k = 0; k < 20; ++k) script += "<暂停10秒>This is sentence " + std::to_string(k) + ".";
  WriteBytes(dir / "long.txt", script);
  const std::vector<std::string> args{"render", P("long.txt"), "-o", P("out.mp3"), "--data-dir", Data().string()};

  // SIGTERM: the render stops after the pieces in progress and keeps them.
  pid_t child = Start(args);
  ASSERT_TRUE(WaitForOutput());
  // The speech files of a render running for a while are private to their owner.
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir / "tmp", ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::perms perms = fs::symlink_status(it->path(), ec).permissions();
    if (!ec) {
      EXPECT_EQ(perms & (fs::perms::group_all | fs::perms::others_all), fs::perms::none) << it->path();
    }
  }
  kill(child, SIGTERM);
  EXPECT_EQ(Wait(child), 130) << ReadBytes(dir / "err.txt");
  EXPECT_NE(ReadBytes(dir / "err.txt").find("interrupted"), std::string::npos);
  const testing::FrameWalk kept = testing::WalkFrames(ReadBytes(dir / "out.mp3"));
  EXPECT_EQ(kept.problem, "");
  EXPECT_GT(kept.frames, 0u);
  EXPECT_LT(kept.frames, 20 * testing::PieceFrames(441000));  // far from the whole script
  ExpectNoTemporaryFiles();
  fs::remove(dir / "out.mp3");

  // SIGHUP, then SIGINT: the second ends it at once, and leaves nothing behind.
  child = Start(args);
  ASSERT_TRUE(WaitForOutput());
  kill(child, SIGHUP);
  kill(child, SIGINT);
  EXPECT_EQ(Wait(child), 130);
  ExpectNoTemporaryFiles();
}


TEST_F(RobustCliTest, AClipThatIsNotThereIsNamedAndNeverReplacedByAnother) {
  MakeTheDataDirectory();
  const std::string wav = testing::WavBytes(testing::Sine(4410, 1, 440, 22050, 8000), 22050, 1);
  const std::string mp3 = testing::Mp3Of(testing::Sine(4410, 2, 440, 44100, 8000));
  struct Case {
    std::vector<std::string> music;  // put into the Music folder, in this order
    std::string tag;
    std::string name;  // the clip the mark stands for
    bool missing;
  };
  const Case cases[] = {
      {{}, "<音乐:intro.mp3>", "intro.mp3", true},
      {{}, "<录音:talk.wav>", "talk.wav", true},
      // An exact name wins over one that is a prefix of it, whatever the folder's order.
      {{"x.wav", "x.wav.mp3"}, "<音乐:x.wav.mp3>", "x.wav.mp3", false},
      {{"x.wav.mp3", "x.wav"}, "<音乐:x.wav.mp3>", "x.wav.mp3", false},
      {{"x.wav.mp3", "x.wav"}, "<音乐:x.wav>", "x.wav", false},
      {{"x.wav"}, "<音乐:x.wav.mp3>", "x.wav.mp3", true},
      {{"Y.mp3"}, "<音乐:y.MP3>", "Y.mp3", false},
  };
  for (const Case& c : cases) {
    for (const std::string& name : c.music) WriteBytes(Data() / "Music" / name, name.ends_with(".mp3") ? mp3 : wav);
    WriteBytes(dir / "s.txt", c.tag + "<暂停0.5秒>");
    const CliRun compile = Cli("compile " + P("s.txt"));
    EXPECT_EQ(compile.exitCode, 0) << c.tag << compile.err;
    EXPECT_NE(compile.out.find("\"text\":\"" + c.name + "\""), std::string::npos) << c.tag << compile.out;
    EXPECT_EQ(compile.err.find(c.name) != std::string::npos, c.missing) << c.tag << compile.err;

    const CliRun render = Cli("render " + P("s.txt") + " -o " + P("out.mp3") + " --quiet");
    EXPECT_EQ(render.exitCode, c.missing ? 1 : 0) << c.tag << render.err;
    EXPECT_EQ(fs::exists(dir / "out.mp3"), !c.missing) << c.tag;
    if (c.missing) {
      EXPECT_NE(render.err.find(c.name), std::string::npos) << c.tag << render.err;
    }
    fs::remove(dir / "out.mp3");
    for (const std::string& name : c.music) fs::remove(Data() / "Music" / name);
  }
}

TEST_F(RobustCliTest, AFailedWriteToStandardOutputIsAnError) {
  WriteBytes(dir / "s.txt", "<暂停1秒>");
  for (const std::string& command : {"compile " + P("s.txt"), "timeline " + P("s.txt"), std::string("voices"),
                                    std::string("--help"), std::string("render --help"), std::string("--version")}) {
    ExpectOneLineError(Cli(command + " >/dev/full"), 1, "standard output");
  }
}

// An output that is no regular file, the script itself (by any name) or
// another output of the same render is refused in one line and nothing
// changes; a link to where a new file may go is written through.
TEST_F(RobustCliTest, AnOutputThatIsNoRegularFileTheScriptOrAnotherOutputIsRefused) {
  const std::string script = P("s.txt");
  ASSERT_EQ(mkfifo(P("fifo").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", dir / "null.mp3");
  const std::tuple<std::string, std::string, const char*> cases[] = {
      {script, "-o " + P("fifo"), "not a regular file"},
      {script, "-o " + P("null.mp3"), "not a regular file"},
      {script, "-o " + P("s.txt"), ""},
      {script, "-o " + P("link.mp3"), ""},
      {script, "-o " + P("hard.mp3"), ""},
      {script, "-o " + (dir / "." / "s.txt").string(), ""},
      {script, "-o " + P("x.lrc") + " --lrc", ""},
      {script, "-o " + P("x.srt") + " --lrc --srt", ""},
      {P("s.lrc"), "-o " + P("s.mp3") + " --lrc", ""},  // the subtitles would replace the script
  };
  for (const auto& [in, options, why] : cases) {
    for (const char* name : {"s.txt", "s.lrc", "link.mp3", "hard.mp3"}) fs::remove(dir / name);
    WriteBytes(dir / "s.txt", "<暂停1秒>");
    WriteBytes(dir / "s.lrc", "<暂停1秒>");
    fs::create_symlink(dir / "s.txt", dir / "link.mp3");
    ASSERT_EQ(link((dir / "s.txt").c_str(), (dir / "hard.mp3").c_str()), 0);
    ExpectOneLineError(Cli("render " + in + " " + options + " --quiet"), 1, why);
    EXPECT_EQ(ReadBytes(dir / "s.txt"), "<暂停1秒>") << options;
    EXPECT_EQ(ReadBytes(dir / "s.lrc"), "<暂停1秒>") << options;
    EXPECT_FALSE(fs::exists(dir / "x.lrc") || fs::exists(dir / "x.srt") || fs::exists(dir / "s.mp3")) << options;
  }
  for (const char* target : {"fifo", "null.mp3"}) EXPECT_EQ(Cli("convert " + script + " " + P(target)).exitCode, 1);
  EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::is_symlink(dir / "null.mp3"));

  fs::create_directories(dir / "real");
  fs::create_symlink("real/out.mp3", dir / "new.mp3");
  const CliRun run = Cli("render " + script + " -o " + P("new.mp3") + " --quiet");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(dir / "new.mp3"));
  EXPECT_EQ(testing::WalkFrames(ReadBytes(dir / "real" / "out.mp3")).problem, "");
  EXPECT_EQ(Names(dir / "real"), (std::vector<std::string>{"out.mp3"}));
}

TEST_F(RobustCliTest, AFileSizeLimitOrAFullOrMissingTemporaryFolderFailsTheRenderWithItsReason) {
  // Under ulimit -f, or with a TMPDIR that names no folder: a piece that cannot be written is an error, never a
  // sentence left out; the process is not killed, keeps the old output and
  // leaves nothing behind.
  std::string longSentence = "This sentence is long enough that its speech file cannot be written";
  for (int k = 0; k < 4; ++k) longSentence += ", and it goes on and on";
  struct Case {
    std::string script;
    rlim_t limit;
    const char* threads;
    std::string tmpdir;
  };
  const Case cases[] = {
      {"Hi.<暂停0.1秒>" + longSentence + ".", 120 * 1024, "2", ""},  // the short sentence fits, the long one does not
      {"Hello.", 2048, "1", ""},
      {"Hello.", RLIM_INFINITY, "1", P("missing")},  // a temporary folder that is not there
  };
  for (const Case& c : cases) {
    WriteBytes(dir / "s.txt", c.script);
    WriteBytes(dir / "out.mp3", "old");
    const pid_t child =
        Start({"render", P("s.txt"), "-o", P("out.mp3"), "--quiet", "--threads", c.threads, "--data-dir", Data().string()},
              c.tmpdir, c.limit);
    EXPECT_EQ(Wait(child), 1) << c.limit << ": " << ReadBytes(dir / "err.txt");
    // The sound library eSpeak NG loads may complain first that its (anonymous)
    // memory pool cannot be made; the program's own message is one line.
    const std::string err = ReadBytes(dir / "err.txt");
    ASSERT_NE(err.find("aurisona-cli:"), std::string::npos) << err;
    EXPECT_EQ(Lines(err.substr(err.find("aurisona-cli:"))), 1u) << err;
    EXPECT_EQ(ReadBytes(dir / "out.mp3"), "old");
    ExpectNoTemporaryFiles();
  }
}

TEST_F(RobustCliTest, AHeadlessCommandLeavesTheSoundServerAlone) {
  WriteBytes(dir / "s.txt", "Hello. 你好。");
  fs::create_directories(dir / "home");
  const std::string env = "env -u XDG_RUNTIME_DIR HOME=" + P("home") + " TMPDIR=" + P("tmp") + " ";
  fs::create_directories(dir / "tmp");
  const std::string cli = AURISONA_CLI_PATH;
  for (const std::string& command : {"render " + P("s.txt") + " -o " + P("out.mp3") + " --quiet",
                                    "timeline " + P("s.txt"), std::string("voices")}) {
    const int status = std::system((env + cli + " " + command + " --data-dir " + Data().string() + " >/dev/null 2>&1").c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0) << command;
    EXPECT_TRUE(fs::is_empty(dir / "home")) << command << ": " << Names(dir / "home").front();
    EXPECT_TRUE(fs::is_empty(dir / "tmp")) << command << ": " << Names(dir / "tmp").front();
  }
}

}  // namespace
}  // namespace aurisona
