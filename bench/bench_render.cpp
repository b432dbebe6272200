// MP3 output: render throughput against the lame command-line encoder, and
// peak memory of a 10-minute and a 60-minute script.
//
//   bench_render [--single | --workers]
//
// 1. Renders a script of about ten minutes (speech by the default voices, the English
//    alternating between the male and the female one, the prompt tone, MP3 and WAV
//    music, pauses) on all cores, in a child process, with the speech worker processes
//    the program uses; its processor time counts the workers' too, and how busy the
//    cores were is that time over the wall time of every core.
// 2. Decodes that MP3 to raw PCM and times `lame` on the same PCM with the
//    job's settings (CBR 128 kbit/s, joint stereo, -q 0, no tag, no bit
//    reservoir); lame runs on one thread. The ratio of the two throughputs is
//    lame's time over the render's; steps 1 and 2 run twice, the best counts.
// 3. Renders a sparser script (more pauses, quicker) at 10 and at 60 minutes
//    and compares their peak resident memory (ru_maxrss of each child).
// Wall and processor times are printed, with the load average: on a shared
// machine the wall-time ratio says little when other work takes the cores.
// --single also renders the 10-minute script on one thread, for reference.
//
// 4. Synthesis alone through the speech workers: the same English sentences, alternating
//    the default male and female voices, with one worker and with two (both warmed up);
//    --workers runs only this.
// 5. Synthesis speed of each engine (times real time, one thread), and what reusing
//    repeated sentences saves on the bundled sample script: synthesis calls and
//    render time with and without reuse.
// 6. The piece cache: the 10-minute script rendered into an empty cache, again
//    unchanged, and again after one sentence was edited; the length measure
//    without the cache and with it after another sentence was edited. Each time
//    is given as a share of the first (targets: 10 % unchanged, 15 % edited).
//    `bench_render --cache` runs this part alone.
// Every render runs in a fresh process (this program, re-executed with
// --child), so the peaks do not mix.
#include <mpg123.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/media/bundled_media.h"
#include "core/media/media_lists.h"
#include "core/script/bundled_texts.h"
#include "core/script/compiler.h"
#include "core/script/memory_document.h"
#include "core/script/tagged_text.h"
#include "core/output/output_job.h"
#include "core/output/piece_cache.h"
#include "core/output/timeline.h"
#include "core/reading/reading_engine.h"
#include "core/speech/composite_engine.h"
#include "core/speech/speech_engine.h"
#include "core/speech/voice.h"
#include "core/speech/worker_engine.h"
#include "core/util/text.h"

extern char** environ;

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// 20 s of a soft stereo chord, as a 44100 Hz WAV clip.
std::string StringsWav() {
  constexpr int rate = 44100;
  const size_t frames = 20 * rate;
  std::vector<int16_t> pcm(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    double v = 0;
    for (double f : {220.0, 277.18, 329.63, 440.0}) v += std::sin(2 * std::numbers::pi * f * t) * 0.18;
    v *= 0.8 + 0.2 * std::sin(2 * std::numbers::pi * 0.25 * t);
    pcm[2 * i] = static_cast<int16_t>(std::lround(v * 26000));
    pcm[2 * i + 1] = static_cast<int16_t>(std::lround(v * 24000));
  }
  std::string wav = EncodeWavMono16({}, rate);  // header to patch for stereo
  auto put = [&](size_t at, uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) wav[at + static_cast<size_t>(k)] = static_cast<char>(value >> (8 * k));
  };
  const auto data = static_cast<uint32_t>(pcm.size() * 2);
  put(4, 36 + data, 4);
  put(22, 2, 2);
  put(28, rate * 4, 4);
  put(32, 4, 2);
  put(40, data, 4);
  wav.append(reinterpret_cast<const char*>(pcm.data()), pcm.size() * 2);
  return wav;
}

// About one minute of a listening exam: three sentences, the prompt tone,
// 12 s of the bundled theme, a 20 s WAV clip and 13 s of pauses. `sparse`:
// one sentence, the tone, 5 s of the theme and about 50 s of pauses, which
// is quicker to render for the memory runs.
std::vector<Segment> Script(int minutes, bool sparse) {
  std::vector<Segment> list;
  int32_t at = 0;
  auto add = [&](int32_t kind, int32_t param, int32_t chinese, std::u16string text) {
    const auto length = static_cast<int32_t>(std::max<size_t>(text.size(), 1));
    list.push_back(Segment{kind, param, chinese, at, at + length, std::move(text)});
    at += length;
  };
  for (int m = 0; m < minutes; ++m) {
    // Every minute's sentences differ, so the render synthesises each one.
    std::u16string part;
    for (const char c : std::to_string(m + 1)) part += static_cast<char16_t>(c);
    if (sparse) {
      add(kSegSpeech, 1, 0, u" Question one. What will the man do on Saturday?");
      add(kSegPromptTone, 0, 0, {});
      add(kSegMusic, 5, 0, u"theme.mp3");
      add(30000, 0, 0, {});
      add(20000, 0, 0, {});
      continue;
    }
    add(kSegSpeech, 0, 0,
        u" Part " + part + u". Listen to the conversation between two students about their plans for the weekend, "
        u"and answer the questions that follow.");
    add(kSegPromptTone, 0, 0, {});
    add(5000, 0, 0, {});
    add(kSegSpeech, 1, 1, u" 第" + part + u"部分。下面你将听到一段对话，请根据对话内容回答第一至第三题。");
    add(kSegMusic, 12, 0, u"theme.mp3");
    add(8000, 0, 0, {});
    add(kSegSpeech, 1, 0, u" In part " + part + u", the man says he will visit his grandmother on Saturday morning.");
    add(kSegMusic, 0, 0, u"strings.wav");
  }
  return list;
}

// The script with its speech record number `edit` (from 1; 0: none) worded otherwise.
void EditSentence(std::vector<Segment>& segments, int edit) {
  int seen = 0;
  for (Segment& s : segments) {
    if (s.kind == kSegSpeech && ++seen == edit) s.text += u" Listen carefully.";
  }
}

// --child MINUTES SPARSE THREADS DATA OUT [CACHE EDIT MEASURE]: one render;
// prints its wall time, pieces, peak memory and processor time. With a cache
// folder ("-": none) the job runs as the programs run it, with the timeline
// collected; EDIT words one sentence otherwise, MEASURE only measures.
int Child(int minutes, bool sparse, int threads, const fs::path& data, const fs::path& out,
          const std::string& cache = {}, int edit = 0, bool measure = false) {
  std::unique_ptr<SpeechEngine> engine = CreateWorkerSpeechEngine({}, threads);
  // As the programs speak: through the reading step.
  if (!cache.empty()) engine = std::make_unique<ReadingSpeechEngine>(std::move(engine));
  SpeechEngine& speech = *engine;
  const VoiceSlotLists lists = DistributeVoices(speech.ListVoices());
  OutputJob job;
  for (size_t k = 0; k < lists.size(); ++k) {
    if (!lists[k].empty()) job.settings.voices[k].voice = lists[k].front();
  }
  job.segments = Script(minutes, sparse);
  job.output = out;
  job.musicFolder = data / "Music";
  job.recordFolder = data / "Record";
  job.promptTone = data / "Sound" / "tone.wav";
  job.threads = threads;
  EditSentence(job.segments, edit);
  job.measureOnly = measure;
  if (!cache.empty() && cache != "-") job.cache = std::make_shared<PieceCache>(cache);
  std::atomic<bool> abort{false};
  const auto start = Clock::now();
  Timeline timeline;
  const OutputResult result = cache.empty() ? RunOutputJob(std::move(job), speech, abort)
                                            : RunOutputJobWithTimeline(std::move(job), speech, abort, {}, &timeline);
  const double seconds = SecondsSince(start);
  engine.reset();  // the workers end and are waited for: their times count below
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  rusage workers{};
  getrusage(RUSAGE_CHILDREN, &workers);
  auto cpu = [](const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  };
  // Peak memory: this process and the largest worker.
  std::printf("%f %d %ld %f %d\n", seconds, result.pieces, usage.ru_maxrss + workers.ru_maxrss,
              cpu(usage) + cpu(workers), result.status == OutputStatus::kFinished ? 0 : 1);
  return result.status == OutputStatus::kFinished ? 0 : 1;
}

// The program's engine, counting sentences; with `reuse` off it lists no voices, which
// keeps the output job from reusing any sentence (it still speaks every one).
class CountingEngine final : public SpeechEngine {
 public:
  explicit CountingEngine(bool reuse) : reuse_(reuse) {}
  std::vector<Voice> ListVoices() override { return reuse_ ? engine_->ListVoices() : std::vector<Voice>{}; }
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice, int rate, int volume,
                             const SpeechSink& sink, Voice* used) override {
    ++calls;
    return engine_->Synthesize(text, voice, rate, volume, sink, used);
  }
  bool IsReady() const override { return engine_->IsReady(); }
  int calls = 0;

 private:
  bool reuse_;
  std::unique_ptr<SpeechEngine> engine_ = CreateSpeechEngine();
};

double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void SynthesisSpeed() {
  const std::unique_ptr<SpeechEngine> engine = CreateSpeechEngine();
  const std::u16string english[] = {
      u"Listen to the conversation between two students about their plans for the weekend.",
      u"The train to London leaves at 7:45 from platform 3, and the tickets cost 12 dollars.",
      u"Mr. Brown asked Mary to meet him at the library at half past four on Friday."};
  const std::u16string chinese[] = {u"下面你将听到一段对话，请根据对话内容回答第一至第三题。",
                                    u"听力考试到此结束，请考生停止作答。"};
  for (const Voice& v : engine->ListVoices()) {
    SpeechAudio warm;
    engine->SynthesizeAll(u"Ready.", v.name, 0, 100, &warm);
    double audio = 0;
    const double cpu0 = ProcessorSeconds();
    const auto start = Clock::now();
    for (int round = 0; round < 3; ++round) {
      for (const std::u16string& text : IsChineseVoice(v) ? std::span<const std::u16string>(chinese)
                                                           : std::span<const std::u16string>(english)) {
        SpeechAudio a;
        engine->SynthesizeAll(text, v.name, 0, 100, &a);
        if (a.sample_rate > 0) audio += static_cast<double>(a.samples.size()) / a.sample_rate;
      }
    }
    const double wall = SecondsSince(start);
    std::printf("synthesis %-48s %.1f s of speech in %.2f s: %.1fx real time (processor %.2f s)\n",
                Utf16ToUtf8(v.display_name).c_str(), audio, wall, audio / wall, ProcessorSeconds() - cpu0);
  }
}

// Synthesis alone through `workers` speech workers, as many threads asking at once.
double WorkerSynthesis(int workers, const std::vector<std::pair<std::u16string, std::u16string>>& sentences,
                       double* audio) {
  const auto engine = CreateWorkerSpeechEngine({}, workers);
  auto speakAll = [&](size_t count) {
    std::atomic<size_t> next{0};
    std::atomic<int64_t> samples{0};
    std::atomic<int> rate{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < workers; ++t) {
      threads.emplace_back([&] {
        for (size_t i; (i = next++) < count;) {
          SpeechAudio a;
          engine->SynthesizeAll(sentences[i % sentences.size()].second, sentences[i % sentences.size()].first, 0, 100,
                                &a);
          samples += static_cast<int64_t>(a.samples.size());
          rate = a.sample_rate;
        }
      });
    }
    for (auto& t : threads) t.join();
    return rate > 0 ? static_cast<double>(samples) / rate : 0.0;  // every default English voice is at one rate
  };
  // Every worker started with both voices loaded: each sentence takes a worker for a while,
  // so the workers take turns.
  speakAll(static_cast<size_t>(6 * workers));
  const auto start = Clock::now();
  *audio = speakAll(sentences.size());
  return SecondsSince(start);
}

void WorkerScaling() {
  const VoiceSlotLists lists = DistributeVoices(CreateSpeechEngine()->ListVoices());
  if (lists[2].empty() || lists[3].empty()) return;
  const std::u16string english[] = {
      u"Listen to the conversation between two students about their plans for the weekend.",
      u"The train to London leaves at 7:45 from platform 3, and the tickets cost 12 dollars.",
      u"Mr. Brown asked Mary to meet him at the library at half past four on Friday.",
      u"In part two, the man says he will visit his grandmother on Saturday morning.",
      u"What does the woman want to buy for her brother's birthday?",
      u"The museum is closed on Mondays, so they decide to go on Tuesday afternoon."};
  std::vector<std::pair<std::u16string, std::u16string>> sentences;
  for (int round = 0; round < 2; ++round) {
    for (size_t i = 0; i < std::size(english); ++i) sentences.emplace_back(lists[2 + (i % 2)].front(), english[i]);
  }
  double audio1 = 0;
  double audio2 = 0;
  const double one = WorkerSynthesis(1, sentences, &audio1);
  const double two = WorkerSynthesis(2, sentences, &audio2);
  std::printf("WORKERS synthesis alone, %zu sentences alternating %s and %s: 1 worker %.2f s, 2 workers %.2f s "
              "(%.1f s of speech each): 2 workers %.2fx one (target 1.7)\n",
              sentences.size(), Utf16ToUtf8(lists[2].front()).c_str(), Utf16ToUtf8(lists[3].front()).c_str(), one,
              two, audio1, one / two);
  if (audio1 != audio2) std::printf("the two runs made different amounts of speech\n");
}

void SampleReuse(const fs::path& data, const fs::path& out) {
  MediaLists media;
  for (const BundledFile& f : BundledMusic()) media.music.push_back(Utf8ToUtf16(f.name));
  MemoryScriptDocument doc;
  TaggedTextReader(doc, media, BundledSampleScript(), true, false);
  std::vector<Segment> segments;
  ScriptCompiler(doc, media, segments, {});
  double seconds[2] = {0, 0};
  double cpu[2] = {0, 0};
  int calls[2] = {0, 0};
  for (const bool reuse : {false, true}) {
    CountingEngine engine(reuse);
    const VoiceSlotLists lists = DistributeVoices(engine.ListVoices().empty() ? CreateSpeechEngine()->ListVoices()
                                                                            : engine.ListVoices());
    OutputJob job;
    for (size_t k = 0; k < lists.size(); ++k) {
      if (!lists[k].empty()) job.settings.voices[k].voice = lists[k].front();
    }
    job.segments = segments;
    job.output = out;
    job.musicFolder = data / "Music";
    job.recordFolder = data / "Record";
    job.promptTone = data / "Sound" / "tone.wav";
    job.threads = 0;
    std::atomic<bool> abort{false};
    const auto start = Clock::now();
    const double cpu0 = ProcessorSeconds();
    RunOutputJob(std::move(job), engine, abort);
    seconds[reuse] = SecondsSince(start);
    cpu[reuse] = ProcessorSeconds() - cpu0;
    calls[reuse] = engine.calls;
  }
  std::printf("REUSE on the bundled sample: %d sentences synthesised instead of %d; render %.2f s instead of %.2f s, "
              "processor %.2f s instead of %.2f s (%.0f %% less)\n",
              calls[1], calls[0], seconds[1], seconds[0], cpu[1], cpu[0], 100.0 * (1.0 - cpu[1] / cpu[0]));
}

struct ChildRun {
  double seconds = 0;
  int pieces = 0;
  long maxRssKb = 0;
  double cpu = 0;  // user + system seconds
  bool ok = false;
};

ChildRun RunChild(int minutes, bool sparse, int threads, const fs::path& data, const fs::path& out,
                  const std::string& cacheArgs = {}) {
  static const fs::path self = fs::read_symlink("/proc/self/exe");
  const std::string command = "'" + self.string() + "' --child " + std::to_string(minutes) + (sparse ? " 1 " : " 0 ") + std::to_string(threads) +
                              " '" + data.string() + "' '" + out.string() + "'" + cacheArgs;
  ChildRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  int failed = 1;
  run.ok = std::fscanf(pipe, "%lf %d %ld %lf %d", &run.seconds, &run.pieces, &run.maxRssKb, &run.cpu, &failed) == 5;
  run.ok = pclose(pipe) == 0 && run.ok && failed == 0;
  return run;
}

// Decodes an MP3 file into raw 16-bit stereo PCM; returns the frames written.
size_t DecodeToRaw(const fs::path& mp3, const fs::path& raw) {
  mpg123_handle* h = mpg123_new(nullptr, nullptr);
  if (!h) return 0;
  mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(h);
  mpg123_format(h, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
  size_t frames = 0;
  if (mpg123_open(h, mp3.c_str()) == MPG123_OK) {
    std::ofstream out(raw, std::ios::binary | std::ios::trunc);
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
      size_t done = 0;
      const int r = mpg123_read(h, buffer.data(), buffer.size(), &done);
      out.write(reinterpret_cast<const char*>(buffer.data()), static_cast<std::streamsize>(done));
      frames += done / 4;
      if (r != MPG123_OK && r != MPG123_NEW_FORMAT) break;
    }
    mpg123_close(h);
  }
  mpg123_delete(h);
  return frames;
}

// Runs a command (no shell, standard error discarded); its wall time and
// processor time, or a wall time of -1 on failure.
struct Timed {
  double seconds = -1;
  double cpu = 0;
};
Timed TimeCommand(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Timed timed;
  const auto start = Clock::now();
  pid_t pid;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return timed;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return timed;
  timed.seconds = SecondsSince(start);
  timed.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return timed;
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string line;
  std::getline(in, line);
  return line.substr(0, line.find(' ', line.find(' ', line.find(' ') + 1) + 1)) + "\n";
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Part 6: the 10-minute script through the piece cache, each run a process of its own.
bool CacheRuns(const fs::path& dir) {
  const fs::path data = dir / "data";
  const std::string cache = " '" + (dir / "cache").string() + "' ";
  auto run = [&](const char* what, const fs::path& out, const std::string& args) {
    const ChildRun r = RunChild(10, false, 0, data, out, args);
    if (!r.ok) std::fprintf(stderr, "bench_render: the cache run \"%s\" failed\n", what);
    return r;
  };
  std::error_code ec;
  fs::remove_all(dir / "cache", ec);
  const ChildRun first = run("first", dir / "c1.mp3", cache + "0 0");
  const ChildRun again = run("unchanged", dir / "c2.mp3", cache + "0 0");
  const ChildRun edited = run("edited", dir / "c3.mp3", cache + "7 0");
  const ChildRun fresh = run("edited, no cache", dir / "c4.mp3", " - 7 0");
  const ChildRun measure = run("measure, no cache", dir / "m.mp3", " - 12 1");
  const ChildRun measured = run("measure, edited", dir / "m.mp3", cache + "12 1");
  if (!first.ok || !again.ok || !edited.ok || !fresh.ok || !measure.ok || !measured.ok) return false;
  const bool same = ReadAll(dir / "c1.mp3") == ReadAll(dir / "c2.mp3");
  const bool sameEdited = ReadAll(dir / "c3.mp3") == ReadAll(dir / "c4.mp3");
  const PieceCacheUsage usage = PieceCache(dir / "cache").Usage();
  std::printf("piece cache: first output %.2f s (%.2f s processor); %llu entries, %.1f MB\n", first.seconds, first.cpu,
              static_cast<unsigned long long>(usage.entries), double(usage.bytes) / 1e6);
  std::printf("CACHE unchanged: %.2f s, %.1f %% of the first (target 10 %%); processor %.2f s, %.1f %%\n",
              again.seconds, 100 * again.seconds / first.seconds, again.cpu, 100 * again.cpu / first.cpu);
  std::printf("CACHE one sentence edited: %.2f s, %.1f %% of the first (target 15 %%); processor %.2f s, %.1f %%\n",
              edited.seconds, 100 * edited.seconds / first.seconds, edited.cpu, 100 * edited.cpu / first.cpu);
  std::printf("CACHE length measure after an edit: %.2f s, %.1f %% of the measure without the cache (%.2f s; "
              "target 15 %%); processor %.2f s, %.1f %%\n",
              measured.seconds, 100 * measured.seconds / measure.seconds, measure.seconds, measured.cpu,
              100 * measured.cpu / measure.cpu);
  std::printf("the output again %s the first; the edited output %s the one made without the cache\n",
              same ? "is byte for byte" : "DIFFERS FROM", sameEdited ? "is byte for byte" : "differs from");
  std::printf("load average %s", LoadAverage().c_str());
  return same;
}

fs::path BenchFolder() {
  const fs::path dir = fs::temp_directory_path() / ("aurisona-bench-render-" + std::to_string(getpid()));
  fs::create_directories(dir / "data" / "Music");
  fs::create_directories(dir / "data" / "Record");
  fs::create_directories(dir / "data" / "Sound");
  for (const BundledFile& f : BundledMusic()) WriteFile(dir / "data" / "Music" / f.name, f.bytes);
  WriteFile(dir / "data" / "Music" / "strings.wav", StringsWav());
  WriteFile(dir / "data" / "Sound" / "tone.wav", BundledPromptTones().front().bytes);
  return dir;
}

int CacheMain() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("bench_render --cache: %u cores, load average %s", std::thread::hardware_concurrency(),
              LoadAverage().c_str());
  const fs::path dir = BenchFolder();
  const bool ok = CacheRuns(dir);
  std::error_code ec;
  fs::remove_all(dir, ec);
  return ok ? 0 : 1;
}

int Main(bool single) {
  const fs::path dir = BenchFolder();
  const unsigned cores = std::thread::hardware_concurrency();

  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("bench_render: %u cores, load average %s", cores, LoadAverage().c_str());
  // Two rounds of render and lame, interleaved; the best of each counts, which
  // filters out some of the noise of a shared machine.
  ChildRun ten;
  Timed lame;
  double audio = 0;
  for (int round = 1; round <= 2; ++round) {
    const ChildRun r = RunChild(10, false, 0, dir / "data", dir / "ten.mp3");
    if (!r.ok) {
      std::fprintf(stderr, "bench_render: the 10-minute render failed\n");
      return 1;
    }
    if (round == 1) audio = static_cast<double>(DecodeToRaw(dir / "ten.mp3", dir / "ten.raw")) / 44100;
    const Timed l = TimeCommand({"lame", "-r", "-s", "44.1", "--bitwidth", "16", "--signed", "--little-endian", "-m",
                                 "j", "-b", "128", "--cbr", "-q", "0", "-t", "--nores", "--quiet",
                                 (dir / "ten.raw").string(), (dir / "lame.mp3").string()});
    if (l.seconds < 0) {
      std::fprintf(stderr, "bench_render: the lame command failed or is not installed\n");
      return 1;
    }
    std::printf("round %d: render %.2f s (%.2f s processor), lame %.2f s (%.2f s processor), ratio %.2f, load %s",
                round, r.seconds, r.cpu, l.seconds, l.cpu, l.seconds / r.seconds, LoadAverage().c_str());
    if (round == 1 || r.seconds < ten.seconds) ten = r;
    if (round == 1 || l.seconds < lame.seconds) lame = l;
  }
  std::printf("10-minute script: %.1f s of audio, %d pieces; render on %u threads: %.2f s (%.1fx real time), "
              "%.2f s of processor time\n",
              audio, ten.pieces, cores, ten.seconds, audio / ten.seconds, ten.cpu);
  std::printf("lame on the same PCM (one thread): %.2f s (%.1fx real time), %.2f s of processor time\n", lame.seconds,
              audio / lame.seconds, lame.cpu);
  std::printf("THROUGHPUT RATIO render / lame (best of 2): %.2f (target 1.1 on 2 cores); processor time render / "
              "lame: %.2f\n",
              lame.seconds / ten.seconds, ten.cpu / lame.cpu);
  std::printf("BUSY: the render's %.2f s of processor time (workers included) over %u cores for %.2f s: %.0f %% "
              "(target 85 %%)\n",
              ten.cpu, cores, ten.seconds, 100.0 * ten.cpu / (cores * ten.seconds));
  if (single) {
    const ChildRun one = RunChild(10, false, 1, dir / "data", dir / "one.mp3");
    if (one.ok) {
      std::printf("the same render on one thread: %.2f s, %.2f s of processor time (ratio to lame %.2f; "
                  "%u threads are %.2fx faster)\n",
                  one.seconds, one.cpu, lame.seconds > 0 ? lame.seconds / one.seconds : 0.0, cores,
                  one.seconds / ten.seconds);
    }
  }

  // Memory: the same sparse script at 10 and 60 minutes.
  const ChildRun m10 = RunChild(10, true, 0, dir / "data", dir / "m10.mp3");
  const ChildRun m60 = RunChild(60, true, 0, dir / "data", dir / "m60.mp3");
  if (!m10.ok || !m60.ok) {
    std::fprintf(stderr, "bench_render: a memory render failed\n");
  } else {
    std::error_code ec;
    std::printf("memory runs: 10 min %d pieces in %.2f s, 60 min %d pieces in %.2f s (%.1f MB written)\n", m10.pieces,
                m10.seconds, m60.pieces, m60.seconds, static_cast<double>(fs::file_size(dir / "m60.mp3", ec)) / 1e6);
    std::printf("PEAK MEMORY (ru_maxrss): 10 min %ld KB, 60 min %ld KB, ratio %.3f (flat: within 10 %%)\n",
                m10.maxRssKb, m60.maxRssKb, static_cast<double>(m60.maxRssKb) / static_cast<double>(m10.maxRssKb));
  }
  WorkerScaling();
  SynthesisSpeed();
  SampleReuse(dir / "data", dir / "sample.mp3");
  CacheRuns(dir);
  std::printf("load average at the end %s", LoadAverage().c_str());
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}

}  // namespace
}  // namespace aurisona

int main(int argc, char** argv) {
  if (argc == 7 && std::strcmp(argv[1], "--child") == 0) {
    return aurisona::Child(std::atoi(argv[2]), std::atoi(argv[3]) != 0, std::atoi(argv[4]), argv[5], argv[6]);
  }
  if (argc == 10 && std::strcmp(argv[1], "--child") == 0) {
    return aurisona::Child(std::atoi(argv[2]), std::atoi(argv[3]) != 0, std::atoi(argv[4]), argv[5], argv[6], argv[7],
                           std::atoi(argv[8]), std::atoi(argv[9]) != 0);
  }
  if (argc == 2 && std::strcmp(argv[1], "--cache") == 0) return aurisona::CacheMain();
  if (argc == 2 && std::strcmp(argv[1], "--workers") == 0) {
    aurisona::WorkerScaling();
    return 0;
  }
  return aurisona::Main(argc == 2 && std::strcmp(argv[1], "--single") == 0);
}
