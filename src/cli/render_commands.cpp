// aurisona-cli render and voices.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "cli/cli.h"
#include "cli/output_target.h"
#include "cli/signals.h"
#include "cli/standard_output.h"
#include "core/files/document_files.h"
#include "core/media/media_library.h"
#include "core/output/job_cache.h"
#include "core/output/output_job.h"
#include "core/output/subtitles.h"
#include "core/output/timeline.h"
#include "core/script/memory_document.h"
#include "core/settings/settings_record.h"
#include "core/speech/composite_engine.h"
#include "core/speech/worker_engine.h"
#include "core/speech/voice.h"
#include "core/util/temp_registry.h"
#include "core/util/text.h"

namespace aurisona::cli {
namespace {

class ProgressBar {
 public:
  ProgressBar(bool enabled, int total) : enabled_(enabled), total_(std::max(total, 1)) {}
  void Show(int position) {
    if (!enabled_) return;
    const int percent = std::clamp(position * 100 / total_, 0, 100);
    if (percent == last_) return;
    last_ = percent;
    const int filled = percent * 40 / 100;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################", 40 - filled, "", percent);
    std::fflush(stderr);
  }
  void End() {
    if (enabled_ && last_ >= 0) std::fputc('\n', stderr);
  }

 private:
  bool enabled_;
  int total_;
  int last_ = -1;
};

}  // namespace

// A private folder for the media a listening document carries.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    if (ec) return;  // TMPDIR names no folder
    std::string tmpl = (temp / "aurisona-render-XXXXXX").string();
    uint64_t ticket = 0;
    if (CreateRegisteredTemp(tmpl, 0, true, &ticket) == 0) path_ = tmpl;
    ticket_ = TempTicket::Adopt(ticket);
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  TempTicket ticket_;
};

namespace {

// The files a render writes are neither the script nor one another.
bool OutputsApart(const std::string& script, const std::string& mp3, bool lrc, bool srt, std::string* why) {
  std::vector<std::filesystem::path> outputs = {mp3};
  if (lrc) outputs.push_back(LrcPathFor(mp3));
  if (srt) outputs.push_back(SrtPathFor(mp3));
  for (size_t k = 0; k < outputs.size(); ++k) {
    if (SameFile(outputs[k], script)) {
      *why = outputs[k].string() + ": is the script " + script + "; choose another output name";
      return false;
    }
    for (size_t j = 0; j < k; ++j) {
      if (SameFile(outputs[k], outputs[j])) {
        *why = outputs[k].string() + ": the MP3 and its subtitles would be one file; choose another output name";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

RenderSetup::RenderSetup() = default;
RenderSetup::~RenderSetup() = default;

// The voice each slot uses: the stored name selects the first installed voice
// of the slot's list that begins with it (ignoring case), else the list's first.
void ResolveVoiceSlots(SettingsRecord& record, const std::vector<Voice>& voices) {
  const VoiceSlotLists lists = DistributeVoices(voices);
  for (int slot = 1; slot <= kVoiceSlotCount; ++slot) {
    const auto& list = lists[static_cast<size_t>(slot - 1)];
    VoiceSlot* s = record.SlotAt(slot);
    const int index = SelectVoice(list, s->voice);
    if (index >= 0) s->voice = list[static_cast<size_t>(index)];
  }
}

std::shared_ptr<const ReadingDictionary> LoadReadings(const DataDirectory& directory) {
  std::vector<DictionaryProblem> problems;
  const std::filesystem::path path = directory.Readings();
  auto dictionary = std::make_shared<const ReadingDictionary>(ReadingDictionary::Load(path, &problems));
  for (const DictionaryProblem& p : problems) {
    if (p.line > 0) {
      std::fprintf(stderr, "aurisona-cli: %s:%d: %s; line skipped\n", path.c_str(), p.line, p.reason.c_str());
    } else {
      std::fprintf(stderr, "aurisona-cli: %s: %s; no readings used\n", path.c_str(), p.reason.c_str());
    }
  }
  return dictionary;
}

bool PrepareRender(const Args& args, const std::string& script, RenderSetup* setup, int* exitCode) {
  setup->library.emplace(OpenDataDirectory(args));
  MediaLibrary& library = *setup->library;
  library.Build();

  // The document's own clips and recordings go to a scratch folder, so that
  // rendering never changes the data directory.
  setup->scratch = std::make_unique<ScratchFolder>();
  const std::filesystem::path scratch = setup->scratch->path();
  if (scratch.empty()) {
    *exitCode = Fail("cannot create a temporary folder (check TMPDIR)");
    return false;
  }
  std::error_code folderError;
  std::filesystem::create_directories(scratch / "Music", folderError);
  std::filesystem::create_directories(scratch / "Record", folderError);
  MemoryScriptDocument& doc = setup->document;
  DocumentMedia media{scratch / "Music", scratch / "Record", &library.lists(), {}, true, false};
  const OpenResult opened = OpenDocument(script, doc, media);
  if (opened.status == OpenStatus::kCannotOpen) {
    *exitCode = Fail(script + ": " + Utf16ToUtf8(kOpenFailedMessage));
    return false;
  }
  if (opened.status == OpenStatus::kDamaged) {
    *exitCode = Fail(script + ": " + Utf16ToUtf8(kDamagedMessage) + " (" + opened.detail + ")");
    return false;
  }
  // A clip the document carries but could not put aside would be replaced by
  // another of its name, or be missing: the MP3 would be wrong.
  if (!opened.mediaProblems.empty()) {
    *exitCode = Fail(script + ": " + MediaProblemsLine(opened.mediaProblems) + "; nothing rendered");
    return false;
  }

  // With the data directory's command voices and its readings dictionary.
  // Sentences are synthesised in worker processes, as many at once as pieces are made.
  const auto threads = args.Option("--threads");
  setup->speech = std::make_unique<ReadingSpeechEngine>(
      CreateWorkerSpeechEngine({library.directory().root()}, threads ? std::clamp(std::atoi(threads->c_str()), 0, 64) : 0));
  setup->speech->SetDictionary(LoadReadings(library.directory()));
  SettingsRecord& record = setup->record;
  record.Load(library.store());
  ResolveVoiceSlots(record, setup->speech->ListVoices());

  OutputJob& job = setup->job;
  ScriptCompiler(doc, library.lists(), job.segments, [](CompilerMessage m, int position) {
    std::fprintf(stderr, "aurisona-cli: %s (position %d)\n", Utf16ToUtf8(CompilerMessageText(m)).c_str(), position);
  });
  // A clip that is not there is never left out or replaced by another.
  if (ReportMissingMedia(script, job.segments, library.lists(), "; nothing rendered")) {
    *exitCode = kExitFailed;
    return false;
  }
  job.musicFolder = library.directory().Music();
  job.recordFolder = library.directory().Record();
  job.overlayMusicFolder = scratch / "Music";
  job.overlayRecordFolder = scratch / "Record";
  job.promptTone = library.currentPromptTone();
  job.settings = OutputSettingsFrom(record);
  if (!args.Flag("--no-cache")) job.cache = OpenPieceCache(library.directory(), library.store());
  if (const auto t = args.Option("--threads")) {
    job.threads = std::atoi(t->c_str());
    if (job.threads < 1 || job.threads > 64) {
      *exitCode = UsageError("--threads takes a number from 1 to 64");
      return false;
    }
  }
  return true;
}

// Runs the job; a stop signal ends it after the pieces in progress (they are
// bounded, so it is done well within the grace time).
OutputResult RunInterruptible(OutputJob job, SpeechEngine& speech, const OutputCallbacks& callbacks,
                              Timeline* timeline) {
  StopScope stop;
  const std::shared_ptr<PieceCache> cache = job.cache;
  OutputResult result = RunOutputJobWithTimeline(std::move(job), speech, stop.flag(), callbacks, timeline);
  if (cache && !cache->warning().empty()) std::fprintf(stderr, "aurisona-cli: warning: %s\n", cache->warning().c_str());
  return result;
}

int RenderCommand(int argc, char** argv) {
  HandleStopSignals();
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--output", "--threads"}, {"--lrc", "--srt", "--no-cache"}, &args, &error)) {
    return UsageError(error);
  }
  const auto output = args.Option("--output");
  if (args.positional.size() != 1 || !output || output->empty()) return UsageError("render needs IN and -o OUT.mp3");
  if (std::string why; !CheckOutputTarget(*output, &why)) return Fail(why);
  // Only the files asked for here: the panel's subtitle switch is the application's.
  const bool lrc = args.Flag("--lrc");
  const bool srt = args.Flag("--srt");
  if (std::string why; !OutputsApart(args.positional[0], *output, lrc, srt, &why)) return Fail(why);
  RenderSetup setup;
  int exitCode = 1;
  if (!PrepareRender(args, args.positional[0], &setup, &exitCode)) return exitCode;
  if (setup.document.Length() == 0) return Fail(Utf16ToUtf8(kOutputEmptyMessage));
  OutputJob job = std::move(setup.job);
  job.output = *output;
  job.requireSound = true;

  ProgressBar bar(!args.Flag("--quiet") && isatty(STDERR_FILENO), setup.document.Length());
  OutputCallbacks callbacks;
  callbacks.progress = [&](int position) { bar.Show(position); };
  Timeline timeline;
  const OutputResult result = RunInterruptible(std::move(job), *setup.speech, callbacks, &timeline);
  bar.End();

  if (result.status != OutputStatus::kFailed && (lrc || srt)) {
    const std::u16string title = std::filesystem::path(args.positional[0]).stem().u16string();
    if (!WriteSubtitles(*output, timeline, title, lrc, srt, &error)) {
      return Fail(*output + ": cannot write the subtitles (" + error + ")");
    }
  }
  switch (result.status) {
    case OutputStatus::kFinished:
      if (!args.Flag("--quiet")) {
        std::fprintf(stderr, "aurisona-cli: wrote %s (%d pieces), %s long\n", output->c_str(), result.pieces,
                     FormatDuration(timeline.seconds()).c_str());
      }
      return 0;
    case OutputStatus::kAborted:
      std::fprintf(stderr, "aurisona-cli: interrupted; %s holds the %d pieces finished before\n", output->c_str(),
                   result.pieces);
      return 130;
    case OutputStatus::kFailed:
      if (result.empty) return Fail(Utf16ToUtf8(kOutputEmptyMessage));
      return Fail(*output + ": " + Utf16ToUtf8(kOutputFailedMessage) + " (" + result.error + ")");
  }
  return 1;
}

int VoicesCommand(int argc, char** argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {}, {}, &args, &error)) return UsageError(error);
  if (!args.positional.empty()) return UsageError("voices takes no arguments");
  const std::vector<Voice> voices = CreateSpeechEngine({OpenDataDirectory(args).root()})->ListVoices();
  if (voices.empty()) return Fail("no voices: the speech engine cannot be started");
  for (const Voice& v : voices) {
    const std::string line =
        "{\"name\":" + JsonString(v.name) + ",\"gender\":" + JsonString(GenderAttribute(v.gender)) +
        ",\"language\":" + JsonString(WindowsLanguageId(v.language)) + ",\"display\":" + JsonString(v.display_name) +
        ",\"engine\":" + JsonString(v.engine) + ",\"tag\":" + JsonString(std::string_view(v.language)) +
        ",\"rate\":" + std::to_string(v.sample_rate) + "}\n";
    if (!Out(line)) break;  // main() reports the failed write
  }
  return 0;
}

}  // namespace aurisona::cli
