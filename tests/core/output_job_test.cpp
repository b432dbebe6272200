// The MP3 output job, checked on the file it writes: frame headers read by the
// test itself, audio decoded with libmpg123.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <utility>

#include "core/output_test_support.h"
#include "core/test_util.h"
#include "core/output/output_job.h"
#include "core/output/piece_cache.h"
#include "core/output/timeline.h"
#include "core/speech/worker_engine.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::DecodedMp3;
using testing::Mp3Of;
using testing::PieceFrames;
using testing::ReadBytes;
using testing::Sine;
using testing::TempDir;
using testing::ToneSpeechEngine;
using testing::WavBytes;
using testing::WriteBytes;

Segment Seg(int32_t kind, int32_t param, int32_t start, int32_t end, std::u16string text = {}, int32_t chinese = 0) {
  return Segment{kind, param, chinese, start, end, std::move(text)};
}
Segment Say(int32_t voice, const std::u16string& text, int32_t chinese = 0, int32_t start = 0, int32_t end = 0) {
  return Seg(kSegSpeech, voice, start, end, text, chinese);
}
Segment Pause(int32_t ms, int32_t start = 0, int32_t end = 0) { return Seg(ms, 0, start, end); }

class OutputJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "Music");
    fs::create_directories(dir / "Record");
  }

  OutputJob Job(std::vector<Segment> segments, int threads = 1) const {
    OutputJob job;
    job.segments = std::move(segments);
    job.output = dir / "out.mp3";
    job.musicFolder = dir / "Music";
    job.recordFolder = dir / "Record";
    job.threads = threads;
    const char16_t* names[] = {u"ZhM", u"ZhF", u"EnM", u"EnF", u"ZhM1", u"ZhF1", u"EnM1", u"EnF1"};
    for (size_t i = 0; i < kVoiceSlotCount; ++i) job.settings.voices[i].voice = names[i];
    return job;
  }

  OutputResult Run(OutputJob job, const OutputCallbacks& callbacks = {}) {
    return RunOutputJob(std::move(job), engine, abort, callbacks);
  }

  std::string Out() const { return ReadBytes(dir / "out.mp3"); }

  TempDir dir;
  ToneSpeechEngine engine;
  std::atomic<bool> abort{false};
};

// ---- the walk and the progress bar -------------------------------------------

TEST_F(OutputJobTest, CallbacksFollowTheWalkAndProgressOnlyGrows) {
  // Positions as the compiler gives them; a run after a voice mark begins with a space.
  std::vector<Segment> list{Say(0, u" hi", 0, 0, 4),
                            Seg(kSegRepeatBegin, 2, 4, 5),
                            Pause(300, 5, 6),
                            Say(1, u"yo", 0, 6, 9),
                            Seg(kSegRepeatEnd, 2, 9, 10),
                            Seg(kSegMusic, 0, 10, 11, u"clip.mp3"),
                            Seg(kSegRecording, 0, 11, 12, u"take.wav"),
                            Seg(kSegNoReadBegin, 0, 12, 13),
                            Seg(kSegNoReadEnd, 0, 20, 21),
                            Pause(100, 21, 23)};
  WriteBytes(dir / "Music" / "clip.mp3", Mp3Of(Sine(4410, 2, 441, 44100, 10000)));
  WriteBytes(dir / "Record" / "take.wav", WavBytes(Sine(4410, 1, 441, 44100, 10000), 44100, 1));
  for (int threads : {1, 2}) {
    std::vector<std::pair<int, int>> selected;
    std::vector<int> progress;
    OutputCallbacks callbacks;
    callbacks.segment = [&](int start, int end) { selected.emplace_back(start, end); };
    callbacks.progress = [&](int position) { progress.push_back(position); };
    const OutputResult result = Run(Job(list, threads), callbacks);
    ASSERT_EQ(result.status, OutputStatus::kFinished) << result.error;
    EXPECT_EQ(result.pieces, 8);
    EXPECT_EQ(selected, (std::vector<std::pair<int, int>>{
                            {1, 4}, {5, 6}, {6, 9}, {5, 6}, {6, 9}, {10, 11}, {11, 12}, {21, 23}}));
    ASSERT_FALSE(progress.empty());
    for (size_t k = 1; k < progress.size(); ++k) EXPECT_GT(progress[k], progress[k - 1]) << threads;
    EXPECT_EQ(progress.back(), 23);
  }
}

// ---- pieces that cannot be made ------------------------------------------------

TEST_F(OutputJobTest, APieceThatCannotBeMadeFailsTheJobByNameAndAnEmptyOneAddsNothing) {
  const std::string clip = Mp3Of(Sine(44100, 2, 441, 44100, 10000));
  WriteBytes(dir / "Music" / "short.mp3", clip.substr(0, 200));
  WriteBytes(dir / "Record" / "nodata.wav", WavBytes({}, 44100, 2));
  WriteBytes(dir / "Record" / "take.ogg", clip);
  // Each would leave a hole in the programme: the job fails, names it and writes
  // nothing. (Which bytes cannot be decoded is the renderer's own test.)
  const std::pair<Segment, std::string> bad[] = {
      {Seg(kSegMusic, 0, 0, 0, u"missing.mp3"), "missing.mp3: missing"},
      {Seg(kSegMusic, 0, 0, 0, u"short.mp3"), "short.mp3: cannot be decoded"},
      {Seg(kSegRecording, 0, 0, 0, u"take.ogg"), "take.ogg: not a WAV or MP3 file"},
      {Say(0, u"spoken by nobody", 1), "cannot say: spoken by nobody"},
  };
  for (const auto& [segment, why] : bad) {
    for (int threads : {1, 2}) {
      OutputJob job = Job({Pause(100), segment, Pause(100)}, threads);
      job.settings.voices[0].voice = u"Fail";
      WriteBytes(dir / "out.mp3", "old");
      const OutputResult result = Run(std::move(job));
      EXPECT_EQ(result.status, OutputStatus::kFailed) << why;
      EXPECT_NE(result.error.find(why), std::string::npos) << result.error;
      EXPECT_EQ(Out(), "old") << why;
    }
  }
  // A recording of no length, a prompt tone when there is none and a record
  // of an unknown kind add nothing, and the job goes on.
  const OutputResult result = Run(Job({Pause(100), Seg(kSegRecording, 0, 0, 0, u"nodata.wav"),
                                       Seg(kSegPromptTone, 0, 0, 0), Seg(42, 0, 0, 0), Pause(100)}));
  ASSERT_EQ(result.status, OutputStatus::kFinished) << result.error;
  EXPECT_EQ(result.pieces, 2);
  // Two pauses of 100 ms: digital zero at 44100 Hz stereo, in whole frames.
  EXPECT_EQ(testing::WalkFrames(Out()).problem, "");
  const DecodedMp3 decoded = testing::DecodeMp3Bytes(Out());
  EXPECT_EQ(decoded.errors, 0);
  EXPECT_EQ(std::make_pair(decoded.rate, decoded.channels), std::make_pair(44100L, 2));
  EXPECT_EQ(decoded.frames(), 2 * PieceFrames(4410) * 1152);
  for (int16_t v : decoded.samples) ASSERT_EQ(v, 0);

  // A script without sound gives an empty file, and success.
  WriteBytes(dir / "out.mp3", "old");
  ASSERT_EQ(Run(Job({Seg(kSegNoReadBegin, 0, 0, 1), Seg(kSegNoReadEnd, 0, 5, 6)})).status, OutputStatus::kFinished);
  EXPECT_TRUE(fs::exists(dir / "out.mp3"));
  EXPECT_EQ(Out(), "");
}

// ---- threads and abort -------------------------------------------------------------

std::vector<Segment> LongScript() {
  std::vector<Segment> list;
  int32_t at = 0;
  auto add = [&](Segment s) {
    s.start = at;
    s.end = at + 5;
    at += 5;
    list.push_back(std::move(s));
  };
  const std::u16string words[] = {u"one two three four five six", u"seven eight nine", u"ten", u"eleven twelve thirteen"};
  for (int k = 0; k < 14; ++k) {
    if (k == 5) add(Seg(kSegAltRepeatBegin, 3, 0, 0));
    add(Say(k % 4, words[k % 4], k % 3 == 0 ? 1 : 0));
    if (k == 7) add(Seg(kSegAltRepeatEnd, 3, 0, 0));
    if (k % 5 == 4) add(Pause(100 * (k + 1)));
    if (k == 9) add(Seg(kSegMusic, 1, 0, 0, u"clip.mp3"));
  }
  return list;
}

TEST_F(OutputJobTest, ThreadsDoNotChangeTheBytes) {
  WriteBytes(dir / "Music" / "clip.mp3", Mp3Of(Sine(2 * 44100, 2, 441, 44100, 10000)));
  ASSERT_EQ(Run(Job(LongScript(), 1)).status, OutputStatus::kFinished);
  const std::string single = Out();
  std::vector<std::string> calls = engine.calls;
  std::sort(calls.begin(), calls.end());
  ASSERT_EQ(testing::WalkFrames(single).problem, "");
  for (int threads : {2, 4}) {
    engine.calls.clear();
    const OutputResult result = Run(Job(LongScript(), threads));
    ASSERT_EQ(result.status, OutputStatus::kFinished) << result.error;
    EXPECT_EQ(Out() == single, true) << threads << " threads: " << Out().size() << " bytes, one thread "
                                     << single.size();
    std::sort(engine.calls.begin(), engine.calls.end());  // synthesised side by side
    EXPECT_EQ(engine.calls, calls);
  }
}

// The real engines in worker processes: one worker or several, and a second run, give
// the same bytes; the sentences' voices alternate, so every worker speaks with each.
TEST_F(OutputJobTest, SpeechWorkersDoNotChangeTheBytes) {
  std::string first;
  for (int workers : {1, 2, 3, 2}) {
    const auto speech = CreateWorkerSpeechEngine({}, workers);
    ASSERT_TRUE(speech->HasWorkerProgram());
    const VoiceSlotLists lists = DistributeVoices(speech->ListVoices());
    OutputJob job = Job({}, workers);
    for (size_t k = 0; k < kVoiceSlotCount; ++k) job.settings.voices[k].voice = lists[k].empty() ? u"" : lists[k][0];
    const std::u16string english[] = {u"The museum is closed on Mondays.", u"What does the woman want to buy?",
                                      u"She will take the seven o'clock train.", u"The tickets cost twelve dollars."};
    for (int k = 0; k < 8; ++k) job.segments.push_back(Say(k % 2, english[k % 4], 0, 5 * k, 5 * k + 5));
    job.segments.push_back(Say(0, u"请听下面一段对话。", 1, 40, 45));
    const OutputResult result = RunOutputJob(std::move(job), *speech, abort);
    ASSERT_EQ(result.status, OutputStatus::kFinished) << result.error;
    EXPECT_EQ(result.pieces, 9);
    if (first.empty()) first = Out();
    EXPECT_TRUE(Out() == first) << workers << " workers";
  }
}

// A worker that dies or stops answering in the middle of a sentence fails the render
// naming the sentence; the program goes on, and the next render gets a new worker.
TEST_F(OutputJobTest, AWorkerThatDiesOrHangsFailsTheSentenceAndIsReplaced) {
  fs::create_directories(dir / "data" / "voices");
  const struct {
    std::string command;
    int limit_ms;
    std::string why;
  } cases[] = {
      {"kill -KILL $PPID", 60000, "the speech worker ended while speaking \"Say this\""},
      {"kill -STOP $PPID", 2000, "no answer from the speech worker within 2 s for \"Say this\" (killed)"},
  };
  for (const auto& [command, limit_ms, why] : cases) {
    WriteBytes(dir / "data" / "voices" / "Bad.ini",
               "language = en-US\ngender = male\nrate = 16000\ncommand = " + command + "\n");
    SpeechWorkerOptions options;
    options.engines.data_directory = dir / "data";
    options.workers = 2;
    options.time_limit_ms = limit_ms;
    WorkerSpeechEngine speech(options);
    OutputJob job = Job({Pause(100), Say(0, u"Say this"), Pause(100)}, 2);
    job.settings.voices[2].voice = u"Bad";
    WriteBytes(dir / "out.mp3", "old");
    const OutputResult failed = RunOutputJob(std::move(job), speech, abort);
    EXPECT_EQ(failed.status, OutputStatus::kFailed);
    EXPECT_NE(failed.error.find("the speech engine cannot say: Say this (voice Bad: " + why), std::string::npos)
        << failed.error;
    EXPECT_TRUE(Out() == "old");
    EXPECT_TRUE(speech.Workers().empty());  // the one that spoke is gone, and reaped
    const VoiceSlotLists lists = DistributeVoices(speech.ListVoices());
    job = Job({Say(0, u"Say this")}, 2);
    job.settings.voices[2].voice = lists[2][0];
    const OutputResult again = RunOutputJob(std::move(job), speech, abort);
    EXPECT_EQ(again.status, OutputStatus::kFinished) << again.error;
    EXPECT_EQ(speech.Workers().size(), 1u);
  }
}

// One thread encodes each piece before the next record: an abort with the
// fourth record keeps three, the start of the full file. Two workers with eight
// long clips queued keep at most the two they had started.
TEST_F(OutputJobTest, AbortKeepsTheFinishedPiecesAsAPlayableFile) {
  WriteBytes(dir / "Music" / "clip.mp3", Mp3Of(Sine(2 * 44100, 2, 441, 44100, 10000)));
  WriteBytes(dir / "Music" / "long.mp3", Mp3Of(Sine(8 * 44100, 2, 441, 44100, 10000)));
  ASSERT_EQ(Run(Job(LongScript(), 1)).status, OutputStatus::kFinished);
  const std::string full = Out();
  const struct {
    std::vector<Segment> list;
    int threads, abortAt, minPieces, maxPieces;
  } cases[] = {{LongScript(), 1, 4, 3, 3}, {std::vector<Segment>(8, Seg(kSegMusic, 0, 0, 0, u"long.mp3")), 2, 8, 0, 2}};
  for (const auto& c : cases) {
    abort = false;
    int selected = 0;
    OutputCallbacks callbacks;
    callbacks.segment = [&](int, int) {
      if (++selected == c.abortAt) abort = true;
    };
    const OutputResult result = Run(Job(c.list, c.threads), callbacks);
    EXPECT_EQ(result.status, OutputStatus::kAborted);
    EXPECT_EQ(selected, c.abortAt);
    EXPECT_GE(result.pieces, c.minPieces);
    EXPECT_LE(result.pieces, c.maxPieces);
    const std::string part = Out();
    EXPECT_EQ(testing::WalkFrames(part).problem, "");
    EXPECT_EQ(testing::DecodeMp3Bytes(part).errors, 0);
    EXPECT_TRUE(c.threads != 1 || full.compare(0, part.size(), part) == 0) << "the start of the full file";
  }
  // Set before the job starts: an empty file.
  abort = true;
  EXPECT_EQ(Run(Job(LongScript(), 2)).status, OutputStatus::kAborted);
  EXPECT_TRUE(fs::exists(dir / "out.mp3"));
  EXPECT_EQ(Out(), "");
}

// ---- the piece cache -----------------------------------------------------------

class PieceCacheTest : public OutputJobTest {
 protected:
  void SetUp() override {
    OutputJobTest::SetUp();
    const std::string tone = WavBytes(Sine(11025, 2, 441, 44100, 9000), 44100, 2);
    for (const char* name : {"Music/a.wav", "Music/same.wav", "tone.wav"}) WriteBytes(dir / name, tone);
    WriteBytes(dir / "Record" / "r.wav", WavBytes(Sine(8000, 1, 300, 22050, 5000), 22050, 1));
  }
  OutputJob CachedJob(std::vector<Segment> segments = {Say(0, u"abcdef"), Seg(kSegMusic, 0, 0, 0, u"a.wav"),
                                                       Pause(500), Seg(kSegPromptTone, 0, 0, 0),
                                                       Seg(kSegRecording, 0, 0, 0, u"r.wav"), Say(1, u"ghij", 1)}) {
    OutputJob job = Job(std::move(segments), 2);
    job.promptTone = dir / "tone.wav";
    job.cache = cache;
    return job;
  }
  std::string Uncached(OutputJob job) {
    job.cache = nullptr;
    EXPECT_EQ(Run(std::move(job)).status, OutputStatus::kFinished);
    return Out();
  }
  uint64_t Entries() const { return cache->Usage().entries; }
  std::shared_ptr<PieceCache> cache = std::make_shared<PieceCache>(dir / "cache");
};

TEST_F(PieceCacheTest, ThePieceIsFoundForTheSameInputsAndMadeAgainForAnyOtherAndTheBytesAreTheSame) {
  // (Made, then found, as the measure and the render go: the next test.)
  ASSERT_EQ(Run(CachedJob()).status, OutputStatus::kFinished);
  EXPECT_EQ(Entries(), 6u);

  auto segment = [](size_t k, std::function<void(Segment&)> f) { return [k, f](OutputJob& j) { f(j.segments[k]); }; };
  const struct {
    const char* what;
    std::function<void(OutputJob&)> change;
    bool newPiece;
  } changes[] = {
      {"a clip of the same bytes under another name", segment(1, [](Segment& s) { s.text = u"same.wav"; }), false},
      {"the words", segment(0, [](Segment& s) { s.text = u"abcdeg"; }), true},
      {"the voice", [](OutputJob& j) { j.settings.voices[2].voice = u"EnM1"; }, true},
      {"the rate", [](OutputJob& j) { j.settings.voices[2].rate = 3; }, true},
      {"the text gain", [](OutputJob& j) { j.settings.pieces.text = PieceGain{false, true, 150}; }, true},
      {"the music gain", [](OutputJob& j) { j.settings.pieces.music = PieceGain{true, false, 100}; }, true},
      {"the recording gain", [](OutputJob& j) { j.settings.pieces.recording = PieceGain{false, true, 90}; }, true},
      {"the fade", [](OutputJob& j) { j.settings.pieces.musicFade = true, j.settings.pieces.fadeSeconds = 2; }, true},
      {"loudness", [](OutputJob& j) { j.settings.pieces.loudness.on = true; }, true},
      {"the pause", segment(2, [](Segment& s) { s.kind = 600; }), true},
      {"the play time", segment(1, [](Segment& s) { s.param = 1; }), true},
      {"the recording's bytes, same size",
       [this](OutputJob&) { WriteBytes(dir / "Record/r.wav", WavBytes(Sine(8000, 1, 301, 22050, 5000), 22050, 1)); }, true},
  };
  for (const auto& c : changes) {
    OutputJob job = CachedJob();
    c.change(job);
    const uint64_t before = Entries();
    ASSERT_EQ(Run(job).status, OutputStatus::kFinished) << c.what;
    EXPECT_EQ(Entries() > before, c.newPiece) << c.what;
    EXPECT_EQ(Out() == Uncached(job), true) << c.what << ": the MP3 is the one made without the cache";
  }
}

TEST_F(PieceCacheTest, TheMeasureAndTheTimelineComeFromTheCacheAsTheyWouldBeMade) {
  // Each piece's frames and its sentences' times and texts.
  auto timeline = [&](bool measure, bool withCache) {
    OutputJob job = CachedJob();
    job.measureOnly = measure;
    if (!withCache) job.cache = nullptr;
    Timeline t;
    EXPECT_EQ(RunOutputJobWithTimeline(std::move(job), engine, abort, {}, &t).status, OutputStatus::kFinished);
    std::string digest;
    for (const TimelineEntry& e : t.entries) {
      digest += std::to_string(e.piece.frames) + ";";
      for (const SentenceTime& st : e.sentences) digest += Utf16ToUtf8(st.text) + std::to_string(st.start + st.end);
    }
    return digest;
  };
  const std::string made = timeline(true, false);
  ASSERT_EQ(std::count(made.begin(), made.end(), ';'), 6);
  // A measure keeps lengths only: a render after it makes its pieces.
  const std::pair<bool, size_t> runs[] = {{true, 2}, {true, 0}, {false, 2}, {false, 0}, {true, 0}};
  for (const auto& [measure, synthesised] : runs) {
    engine.calls.clear();
    EXPECT_EQ(timeline(measure, true), made);
    EXPECT_EQ(engine.calls.size(), synthesised) << (measure ? "measure" : "render");
  }
}

TEST_F(PieceCacheTest, ADamagedEntryIsMadeAgainAndTheLeastRecentlyUsedGoFirst) {
  Sha256 abc;
  abc.Add("abc");
  EXPECT_EQ(PieceKeyHex(abc.Finish()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  const std::string made = (Run(CachedJob()), Out());
  std::vector<fs::path> entries;
  std::vector<std::string> intact;
  for (const auto& e : fs::recursive_directory_iterator(dir / "cache")) {
    if (e.is_regular_file()) entries.push_back(e.path()), intact.push_back(ReadBytes(e.path()));
  }
  ASSERT_EQ(entries.size(), 6u);
  auto flip = [&](size_t k, size_t at) { return intact[k].substr(0, at) + char(intact[k][at] ^ 1) + intact[k].substr(at + 1); };
  const std::pair<const char*, std::function<std::string(size_t)>> damages[] = {
      {"cut short", [&](size_t k) { return intact[k].substr(0, intact[k].size() / 2); }},
      {"a byte of the MP3", [&](size_t k) { return flip(k, 200); }},
      {"the checksum's last byte lost", [&](size_t k) { return intact[k].substr(0, intact[k].size() - 1); }},
      {"another entry's file", [&](size_t k) { return intact[(k + 1) % intact.size()]; }},
  };
  for (const auto& [what, damage] : damages) {
    for (size_t k = 0; k < entries.size(); ++k) WriteBytes(entries[k], damage(k));
    engine.calls.clear();
    ASSERT_EQ(Run(CachedJob()).status, OutputStatus::kFinished) << what;
    EXPECT_EQ(Out() == made, true) << what << ": never written into the MP3";
    EXPECT_EQ(engine.calls.size(), 2u) << what << ": both sentences are made again";
    EXPECT_EQ(ReadBytes(entries[0]), intact[0]) << what;
  }

  // A limit of three entries: the one used longest ago goes; finding one is a use.
  PieceCache small(dir / "small", 3 * 10000);
  std::vector<PieceKey> keys;
  for (int k = 0; k < 4; ++k) {
    keys.push_back(PieceKeyBuilder().Number(k).Finish());
    small.Store(keys.back(), PieceEntry{true, std::vector<uint8_t>(9800, uint8_t(k)), 0, 0, {}});
    const std::string hex = PieceKeyHex(keys.back());
    fs::last_write_time(dir / "small" / hex.substr(0, 2) / (hex + ".piece"),
                        fs::file_time_type::clock::now() - std::chrono::hours(10 - k));
  }
  ASSERT_TRUE(small.Find(keys[0]));
  small.Trim();
  for (int k = 0; k < 4; ++k) EXPECT_EQ(small.Find(keys[size_t(k)]).has_value(), k != 1) << k;
}

TEST_F(PieceCacheTest, AFullDiskTurnsTheCacheOffWithOneWarningAndTheOutputIsMade) {
  // The child's files may not grow past the MP3 of one pause: the MP3 is
  // written, its entry (a little longer) is not.
  const size_t pauseBytes = Uncached(CachedJob({Pause(1000)})).size();
  fs::remove(dir / "out.mp3");
  EXPECT_EQ(testing::RunUnderFileSizeLimit(pauseBytes + 50, [&] {
              const OutputResult result = Run(CachedJob({Pause(1000)}));
              const bool warned = cache->warning().find("the piece cache is off") != std::string::npos;
              return result.status == OutputStatus::kFinished && warned && !cache->enabled() ? 10 : 11;
            }),
            10);
  EXPECT_EQ(fs::file_size(dir / "out.mp3"), pauseBytes);
  for (const auto& e : fs::recursive_directory_iterator(dir / "cache")) EXPECT_FALSE(e.is_regular_file()) << e.path();

  // A folder that cannot be made, or entry folders that are files: off, and the MP3 made all the same.
  const std::string uncached = Uncached(CachedJob());
  WriteBytes(dir / "plain", "");
  fs::create_directories(dir / "blocked");
  for (int k = 0; k < 256; ++k) WriteBytes(dir / "blocked" / PieceKeyHex({uint8_t(k)}).substr(0, 2), "");
  for (const char* folder : {"plain/pieces", "blocked"}) {
    cache = std::make_shared<PieceCache>(dir / folder);
    ASSERT_EQ(Run(CachedJob()).status, OutputStatus::kFinished) << folder;
    EXPECT_EQ(Out() == uncached, true) << folder;
    EXPECT_FALSE(cache->enabled()) << folder;
    EXPECT_NE(cache->warning().find("the piece cache is off"), std::string::npos) << folder;
  }
}

}  // namespace
}  // namespace aurisona
