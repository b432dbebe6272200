// aurisona-cli timeline: where every piece of the output stands in the MP3.
#include <cstdio>

#include "cli/cli.h"
#include "cli/signals.h"
#include "cli/standard_output.h"
#include "core/util/text.h"

namespace aurisona::cli {
namespace {

const char* KindName(int32_t kind) {
  switch (kind) {
    case kSegSpeech: return "speech";
    case kSegPromptTone: return "tone";
    case kSegMusic: return "music";
    case kSegRecording: return "recording";
    default: return IsPauseSegment(kind) ? "pause" : "other";
  }
}

bool PrintEntry(const TimelineEntry& e) {
  const Segment& s = e.piece.segment;
  std::string line = std::string("{\"kind\":\"") + KindName(s.kind) + "\"";
  if (s.kind == kSegSpeech) {
    line += ",\"text\":" + JsonString(s.text) + ",\"voice\":" + std::to_string(e.piece.voiceSlot);
  } else if (s.kind == kSegPromptTone || s.kind == kSegMusic || s.kind == kSegRecording) {
    const std::u16string file = s.kind == kSegPromptTone ? e.piece.source.filename().u16string() : s.text;
    line += ",\"file\":" + JsonString(file);
  } else if (s.IsPause()) {
    line += ",\"milliseconds\":" + std::to_string(s.PauseMilliseconds());
  }
  char times[160];
  std::snprintf(times, sizeof times, ",\"pass\":%d,\"start\":%.3f,\"length\":%.3f,\"frames\":%llu", e.piece.pass,
                e.start, e.length, static_cast<unsigned long long>(e.piece.frames));
  line += times;
  if (s.kind == kSegSpeech) {
    line += ",\"sentences\":[";
    for (size_t k = 0; k < e.sentences.size(); ++k) {
      std::snprintf(times, sizeof times, "{\"start\":%.3f,\"end\":%.3f,\"text\":", e.sentences[k].start,
                    e.sentences[k].end);
      line += (k ? "," : "") + std::string(times) + JsonString(e.sentences[k].text) + "}";
    }
    line += "]";
  }
  return Out(line + "}\n");
}

}  // namespace

int TimelineCommand(int argc, char** argv) {
  HandleStopSignals();
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--threads"}, {"--no-cache"}, &args, &error)) return UsageError(error);
  if (args.positional.size() != 1) return UsageError("timeline needs one script");
  RenderSetup setup;
  int exitCode = kExitFailed;
  if (!PrepareRender(args, args.positional[0], &setup, &exitCode)) return exitCode;
  OutputJob job = std::move(setup.job);
  job.measureOnly = true;
  Timeline timeline;
  const OutputResult result = RunInterruptible(std::move(job), *setup.speech, {}, &timeline);
  if (result.status == OutputStatus::kFailed) return Fail("cannot measure the script (" + result.error + ")");
  if (result.status == OutputStatus::kAborted) return kExitInterrupted;
  for (const TimelineEntry& e : timeline.entries) {
    if (!PrintEntry(e)) return kExitDone;  // main() reports the failed write
  }
  char total[96];
  std::snprintf(total, sizeof total, "{\"total\":%.3f,\"frames\":%llu,\"duration\":", timeline.seconds(),
                static_cast<unsigned long long>(timeline.frames));
  Out(total + JsonString(FormatDuration(timeline.seconds())) + "}\n");
  return kExitDone;
}

}  // namespace aurisona::cli
