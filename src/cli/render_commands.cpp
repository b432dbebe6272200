// aurisona-cli render and voices.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "cli.h"
#include "output_target.h"
#include "signals.h"
#include "files/document_files.h"
#include "media/media_library.h"
#include "output/output_job.h"
#include "script/memory_document.h"
#include "settings/settings_record.h"
#include "speech/composite_engine.h"
#include "speech/voice.h"
#include "util/temp_registry.h"
#include "util/text.h"

namespace aurisona::cli {
namespace {

// A private folder for the media a listening document carries.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    if (ec) return;  // TMPDIR names no folder
    std::string tmpl = (temp / "aurisona-render-XXXXXX").string();
    if (mkdtemp(tmpl.data())) path_ = tmpl;
    ticket_ = TempTicket(path_, true);
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

int RenderCommand(int argc, char** argv) {
  HandleStopSignals();
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--data-dir", "--output", "--threads"}, {"--quiet"}, &args, &error)) return Fail(error);
  const auto output = args.Option("--output");
  if (args.positional.size() != 1 || !output || output->empty()) {
    return Fail("usage: aurisona-cli render IN -o OUT.mp3 [--quiet] [--threads N] [--data-dir DIR]");
  }
  int threads = 0;
  if (const auto t = args.Option("--threads")) {
    threads = std::atoi(t->c_str());
    if (threads < 1 || threads > 64) return Fail("--threads takes a number from 1 to 64");
  }
  if (std::string why; !CheckOutputTarget(*output, &why)) return Fail(why);
  MediaLibrary library(OpenDataDirectory(args));
  library.Build();

  // The document's own clips and recordings go to a scratch folder, so that
  // rendering never changes the data directory.
  ScratchFolder scratch;
  if (scratch.path().empty()) return Fail("cannot create a temporary folder (check TMPDIR)");
  std::error_code folderError;
  std::filesystem::create_directories(scratch.path() / "Music", folderError);
  std::filesystem::create_directories(scratch.path() / "Record", folderError);
  MemoryScriptDocument doc;
  DocumentMedia media{scratch.path() / "Music", scratch.path() / "Record", &library.lists(), {}, true, false};
  const OpenResult opened = OpenDocument(args.positional[0], doc, media);
  if (opened.status == OpenStatus::kCannotOpen) return Fail(args.positional[0] + ": " + Utf16ToUtf8(kOpenFailedMessage));
  if (opened.status == OpenStatus::kDamaged) {
    return Fail(args.positional[0] + ": " + Utf16ToUtf8(kDamagedMessage) + " (" + opened.detail + ")");
  }
  // A clip the document carries but could not put aside would be replaced by
  // another of its name, or be missing: the MP3 would be wrong.
  if (!opened.mediaProblems.empty()) {
    return Fail(args.positional[0] + ": " + MediaProblemsLine(opened.mediaProblems) + "; nothing rendered");
  }

  const std::unique_ptr<SpeechEngine> engine = CreateSpeechEngine();
  SpeechEngine& speech = *engine;
  SettingsRecord record;
  record.Load(library.store());
  ResolveVoiceSlots(record, speech.ListVoices());

  OutputJob job;
  ScriptCompiler(doc, library.lists(), job.segments, [](CompilerMessage m, int position) {
    std::fprintf(stderr, "aurisona-cli: %s (position %d)\n", Utf16ToUtf8(CompilerMessageText(m)).c_str(), position);
  });
  job.output = *output;
  job.musicFolder = library.directory().Music();
  job.recordFolder = library.directory().Record();
  job.overlayMusicFolder = scratch.path() / "Music";
  job.overlayRecordFolder = scratch.path() / "Record";
  job.promptTone = library.currentPromptTone();
  job.settings = OutputSettingsFrom(record);
  job.threads = threads;

  ProgressBar bar(!args.Flag("--quiet") && isatty(STDERR_FILENO), doc.Length());
  OutputCallbacks callbacks;
  callbacks.progress = [&](int position) { bar.Show(position); };

  OutputResult result;
  {
    // A signal stops the job after the pieces in progress; the pieces are
    // bounded, so it is done well within the grace time.
    StopScope stop;
    result = RunOutputJob(std::move(job), speech, stop.flag(), callbacks);
  }
  bar.End();

  switch (result.status) {
    case OutputStatus::kFinished:
      if (!args.Flag("--quiet")) std::fprintf(stderr, "aurisona-cli: wrote %s (%d pieces)\n", output->c_str(), result.pieces);
      return 0;
    case OutputStatus::kAborted:
      std::fprintf(stderr, "aurisona-cli: interrupted; %s holds the %d pieces finished before\n", output->c_str(),
                   result.pieces);
      return 130;
    case OutputStatus::kFailed:
      return Fail(*output + ": " + Utf16ToUtf8(kOutputFailedMessage) + " (" + result.error + ")");
  }
  return 1;
}

int VoicesCommand(int argc, char** argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--data-dir"}, {}, &args, &error)) return Fail(error);
  if (!args.positional.empty()) return Fail("usage: aurisona-cli voices");
  const std::vector<Voice> voices = CreateSpeechEngine()->ListVoices();
  if (voices.empty()) return Fail("no voices: the speech engine cannot be started");
  for (const Voice& v : voices) {
    std::printf("{\"name\":%s,\"gender\":%s,\"language\":%s,\"display\":%s}\n", JsonString(v.name).c_str(),
                JsonString(v.gender).c_str(), JsonString(v.language).c_str(), JsonString(v.display_name).c_str());
  }
  return 0;
}

}  // namespace aurisona::cli
