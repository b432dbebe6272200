// aurisona-cli compile and convert.
#include <cstdio>

#include "cli.h"
#include "files/document_files.h"
#include "media/media_library.h"
#include "script/compiler.h"
#include "script/memory_document.h"
#include "util/text.h"

namespace aurisona::cli {
namespace {

std::string Utf8(std::u16string_view text) { return Utf16ToUtf8(text); }

// Opens a script as the application opens a document. Reports failures.
bool OpenScript(const std::filesystem::path& path, MediaLibrary& library, bool writeMedia,
                MemoryScriptDocument& doc) {
  DocumentMedia media{library.directory().Music(), library.directory().Record(), &library.lists(),
                      [&](const std::u16string& name, int32_t seconds) {
                        library.store().SetInt(u"音乐播放时间", name, seconds);
                      },
                      writeMedia};
  const OpenResult result = OpenDocument(path, doc, media);
  switch (result.status) {
    case OpenStatus::kOpened:
      return true;
    case OpenStatus::kCannotOpen:
      Fail(path.string() + ": " + Utf8(kOpenFailedMessage));
      return false;
    case OpenStatus::kDamaged:
      Fail(path.string() + ": " + Utf8(kDamagedMessage) + " (" + result.detail + ")");
      return false;
  }
  return false;
}

CompilerReport ReportToStderr() {
  return [](CompilerMessage message, int position) {
    std::fprintf(stderr, "aurisona-cli: %s (position %d)\n", Utf8(CompilerMessageText(message)).c_str(), position);
  };
}

}  // namespace

int CompileCommand(int argc, char** argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--data-dir"}, {}, &args, &error)) return Fail(error);
  if (args.positional.size() != 1) return Fail("usage: aurisona-cli compile IN [--data-dir DIR]");
  MediaLibrary library(OpenDataDirectory(args));
  library.Build();
  MemoryScriptDocument doc;
  // Only reads: media carried by a listening document are not put into the folders.
  if (!OpenScript(args.positional[0], library, false, doc)) return 1;
  std::vector<Segment> segments;
  ScriptCompiler(doc, library.lists(), segments, ReportToStderr());
  for (const Segment& s : segments) {
    std::printf("{\"kind\":%d,\"param\":%d,\"chinese\":%d,\"start\":%d,\"end\":%d,\"text\":%s}\n", s.kind, s.param,
                s.chinese, s.start, s.end, JsonString(s.text).c_str());
  }
  return std::ferror(stdout) ? Fail("cannot write the segments") : 0;
}

int ConvertCommand(int argc, char** argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--data-dir"}, {}, &args, &error)) return Fail(error);
  if (args.positional.size() != 2) return Fail("usage: aurisona-cli convert IN OUT [--data-dir DIR]");
  MediaLibrary library(OpenDataDirectory(args));
  library.Build();
  MemoryScriptDocument doc;
  if (!OpenScript(args.positional[0], library, true, doc)) return 1;
  DocumentMedia media{library.directory().Music(), library.directory().Record(), &library.lists(), {}, true};
  const SaveResult saved = SaveDocumentByName(args.positional[1], doc, media, ReportToStderr());
  if (!saved.ok) return Fail(args.positional[1] + ": " + Utf8(kCreateFailedMessage) + " (" + saved.detail + ")");
  return 0;
}

}  // namespace aurisona::cli
