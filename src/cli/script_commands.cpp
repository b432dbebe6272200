// aurisona-cli compile and convert.
#include <cstdio>

#include "cli/cli.h"
#include "cli/output_target.h"
#include "cli/signals.h"
#include "cli/standard_output.h"
#include "core/files/document_files.h"
#include "core/media/media_library.h"
#include "core/media/missing_media.h"
#include "core/script/compiler.h"
#include "core/output/timeline.h"
#include "core/reading/read_aloud.h"
#include "core/script/memory_document.h"
#include "core/speech/voice_slots.h"
#include "core/util/text.h"

namespace aurisona::cli {
namespace {

std::string Utf8(std::u16string_view text) { return Utf16ToUtf8(text); }

// Opens a script as the application opens a document. Reports failures.
bool OpenScript(const std::filesystem::path& path, MediaLibrary& library, bool writeMedia,
                MemoryScriptDocument& doc, OpenResult* opened = nullptr) {
  DocumentMedia media = LibraryMedia(library, writeMedia);
  const OpenResult result = OpenDocument(path, doc, media);
  if (opened) *opened = result;
  switch (result.status) {
    case OpenStatus::kOpened:
      return true;
    case OpenStatus::kCannotOpen:
      Fail(path.string() + ": " + Utf8(kOpenFailedMessage) + (result.detail.empty() ? "" : " (" + result.detail + ")"));
      return false;
    case OpenStatus::kDamaged:
      Fail(path.string() + ": " + Utf8(kDamagedMessage) + " (" + result.detail + ")");
      return false;
  }
  return false;
}

// Opens a listening document, recovering what can be read when it is damaged,
// and says on standard error what was lost. False (reported) when no script
// text could be read.
bool RecoverScript(const std::filesystem::path& path, MediaLibrary& library, MemoryScriptDocument& doc,
                   OpenResult* opened) {
  DocumentMedia media = LibraryMedia(library, true);
  *opened = OpenDocument(path, doc, media);
  if (opened->status == OpenStatus::kOpened) return true;
  if (opened->status == OpenStatus::kCannotOpen) {
    Fail(path.string() + ": " + Utf8(kOpenFailedMessage) + (opened->detail.empty() ? "" : " (" + opened->detail + ")"));
    return false;
  }
  std::fprintf(stderr, "aurisona-cli: %s: %s (%s)\n", path.string().c_str(), Utf8(kDamagedMessage).c_str(),
               opened->detail.c_str());
  RecoveryReport report;
  *opened = RecoverDocument(path, doc, media, &report);
  if (opened->status == OpenStatus::kCannotOpen) {
    Fail(path.string() + ": " + Utf8(kOpenFailedMessage) + " (" + opened->detail + ")");
    return false;
  }
  if (!report.textFound) {
    std::fprintf(stderr, "aurisona-cli: lost: the script text\n");
  } else if (!report.textComplete) {
    std::fprintf(stderr, "aurisona-cli: lost: the end of the script text (%zu characters read)\n",
                 report.text.size());
  }
  for (const std::u16string& name : report.mediaLost) {
    std::fprintf(stderr, "aurisona-cli: lost: %s\n", Utf8(name).c_str());
  }
  if (report.bytesLost > 0) {
    std::fprintf(stderr, "aurisona-cli: lost: %llu bytes that no record could be read from\n",
                 static_cast<unsigned long long>(report.bytesLost));
  }
  for (const std::u16string& name : report.mediaRecovered) {
    std::fprintf(stderr, "aurisona-cli: recovered: %s\n", Utf8(name).c_str());
  }
  if (!report.TextRead()) {
    Fail(path.string() + ": the script text cannot be recovered");
    return false;
  }
  return true;
}

CompilerReport ReportToStderr() {
  return [](CompilerMessage message, int position) {
    std::fprintf(stderr, "aurisona-cli: %s (position %d)\n", Utf8(CompilerMessageText(message)).c_str(), position);
  };
}

}  // namespace

DocumentMedia LibraryMedia(MediaLibrary& library, bool writeMedia) {
  return DocumentMedia{library.directory().Music(), library.directory().Record(), &library.lists(),
                       [&library](const std::u16string& name, int32_t seconds) {
                         // Remembered where it can be; the document opens all the same.
                         static_cast<void>(library.store().SetInt(u"音乐播放时间", name, seconds));
                       },
                       writeMedia};
}

int CompileCommand(int argc, char** argv) {
  HandleStopSignals();
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--data-dir"}, {}, &args, &error)) return Fail(error);
  if (args.positional.size() != 1) return Fail("usage: aurisona-cli compile IN [--data-dir DIR]");
  MediaLibrary library(OpenDataDirectory(args));
  library.Build();
  MemoryScriptDocument doc;
  // Only reads: media carried by a listening document are not put into the folders.
  OpenResult opened;
  if (!OpenScript(args.positional[0], library, false, doc, &opened)) return 1;
  if (!opened.mediaProblems.empty()) {
    std::fprintf(stderr, "aurisona-cli: %s: %s\n", args.positional[0].c_str(),
                 MediaProblemsLine(opened.mediaProblems).c_str());
  }
  std::vector<Segment> segments;
  ScriptCompiler(doc, library.lists(), segments, ReportToStderr());
  ReportMissingMedia(args.positional[0], segments, library.lists());
  for (const Segment& s : segments) {
    char head[128];
    std::snprintf(head, sizeof head, "{\"kind\":%d,\"param\":%d,\"chinese\":%d,\"start\":%d,\"end\":%d,\"text\":",
                  s.kind, s.param, s.chinese, s.start, s.end);
    if (!Out(head + JsonString(s.text) + "}\n")) break;
  }
  return kExitDone;
}

int SpokenCommand(int argc, char** argv) {
  HandleStopSignals();
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--data-dir"}, {}, &args, &error)) return Fail(error);
  if (args.positional.size() != 1) return Fail("usage: aurisona-cli spoken IN [--data-dir DIR]");
  MediaLibrary library(OpenDataDirectory(args));
  library.Build();
  const std::shared_ptr<const ReadingDictionary> readings = LoadReadings(library.directory());
  MemoryScriptDocument doc;
  if (!OpenScript(args.positional[0], library, false, doc)) return 1;
  std::vector<Segment> segments;
  ScriptCompiler(doc, library.lists(), segments, ReportToStderr());
  for (const Segment& s : segments) {
    if (s.kind != kSegSpeech) continue;
    const ReadingLanguage language = s.chinese ? ReadingLanguage::kMandarin : ReadingLanguage::kEnglish;
    for (const SentenceSpan& sentence : SplitSentences(s.text)) {
      const SpokenText spoken = ReadAloud(sentence.text, readings.get(), language);
      const std::string line = "{\"voice\":" + std::to_string(s.Slot()) +
                               ",\"language\":\"" + (s.chinese ? "zh" : "en") + "\",\"written\":" +
                               JsonString(sentence.text) + ",\"spoken\":" + JsonString(spoken.text) + "}\n";
      if (!Out(line)) return 1;
    }
  }
  return 0;
}

int ConvertCommand(int argc, char** argv) {
  HandleStopSignals();
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--data-dir"}, {"--recover"}, &args, &error)) return Fail(error);
  if (args.positional.size() != 2) return Fail("usage: aurisona-cli convert IN OUT [--recover] [--data-dir DIR]");
  if (std::string why; !CheckOutputTarget(args.positional[1], &why)) return Fail(why);
  MediaLibrary library(OpenDataDirectory(args));
  library.Build();
  MemoryScriptDocument doc;
  OpenResult opened;
  if (args.Flag("--recover")) {
    if (!RecoverScript(args.positional[0], library, doc, &opened)) return 1;
  } else if (!OpenScript(args.positional[0], library, true, doc, &opened)) {
    return 1;
  }
  // Saved now, the document would carry another clip of the name, or none.
  if (!opened.mediaProblems.empty()) {
    return Fail(args.positional[0] + ": " + MediaProblemsLine(opened.mediaProblems) + "; " +
                args.positional[1] + " not written");
  }
  // Tags naming clips that are not there keep their names; they are reported.
  std::vector<MissingMedia> missing;
  for (const auto& name : library.lists().missingMusic) missing.push_back({name, true, 0});
  for (const auto& name : library.lists().missingRecordings) missing.push_back({name, false, 0});
  if (!missing.empty()) {
    std::fprintf(stderr, "aurisona-cli: %s: %s%s\n", args.positional[0].c_str(),
                 Utf8(kMediaMissingMessage).c_str(), MissingMediaNames(missing).c_str());
  }
  DocumentMedia media{library.directory().Music(), library.directory().Record(), &library.lists(), {}, true};
  const SaveResult saved = SaveDocumentByName(args.positional[1], doc, media, ReportToStderr());
  if (!saved.ok) return Fail(args.positional[1] + ": " + Utf8(kCreateFailedMessage) + " (" + saved.detail + ")");
  return 0;
}

}  // namespace aurisona::cli
