// aurisona-cli templates and new.
#include <cstdio>

#include "cli/cli.h"
#include "cli/output_target.h"
#include "cli/signals.h"
#include "cli/standard_output.h"
#include "core/files/document_files.h"
#include "core/files/templates.h"
#include "core/script/memory_document.h"
#include "core/util/text.h"

namespace aurisona::cli {

int TemplatesCommand(int argc, char** argv) {
  HandleStopSignals();
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--data-dir"}, {}, &args, &error)) return Fail(error);
  const DataDirectory dir = OpenDataDirectory(args);
  for (const DocumentTemplate& t : ListTemplates(dir.Templates())) {
    std::string line = "{\"name\":" + JsonString(std::string_view(t.name)) + ",\"title\":" + JsonString(t.title) +
                       ",\"bundled\":" + (t.bundled ? "true" : "false");
    if (t.bundled) {
      line += ",\"description\":" + JsonString(t.description);
    } else {
      line += ",\"file\":" + JsonString(std::string_view(t.file.string()));
    }
    if (!Out(line + "}\n")) return kExitFailed;
  }
  return kExitDone;
}

int NewCommand(int argc, char** argv) {
  HandleStopSignals();
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {"--data-dir"}, {"--force"}, &args, &error)) return Fail(error);
  const std::string& name = args.positional[0];
  const std::filesystem::path out = args.positional[1];
  if (std::string why; !CheckOutputTarget(out, &why)) return Fail(why);
  std::error_code ec;
  if (std::filesystem::exists(out, ec) && !args.Flag("--force")) {
    return Fail(out.string() + ": the file exists and is left as it is (--force replaces it)");
  }
  MediaLibrary library(OpenDataDirectory(args));
  library.Build();
  const std::vector<DocumentTemplate> templates = ListTemplates(library.directory().Templates());
  const DocumentTemplate* chosen = FindTemplate(templates, name);
  if (chosen == nullptr) return Fail("no template called \"" + name + "\" (aurisona-cli templates lists them)");
  if (!chosen->bundled && SameFile(chosen->file, out)) {
    return Fail(out.string() + ": is the template itself; choose another file to write");
  }
  DocumentMedia media = LibraryMedia(library, true);
  MemoryScriptDocument doc;
  const OpenResult opened = LoadTemplate(*chosen, doc, media);
  if (opened.status != OpenStatus::kOpened) {
    return Fail(chosen->file.string() + ": " +
                Utf16ToUtf8(opened.status == OpenStatus::kDamaged ? kDamagedMessage : kOpenFailedMessage) +
                (opened.detail.empty() ? "" : " (" + opened.detail + ")"));
  }
  if (!opened.mediaProblems.empty()) {
    return Fail(chosen->file.string() + ": " + MediaProblemsLine(opened.mediaProblems) + "; " + out.string() +
                " not written");
  }
  const SaveResult saved = SaveDocumentByName(out, doc, media, [](CompilerMessage message, int position) {
    std::fprintf(stderr, "aurisona-cli: %s (position %d)\n", Utf16ToUtf8(CompilerMessageText(message)).c_str(),
                 position);
  });
  if (!saved.ok) return Fail(out.string() + ": " + Utf16ToUtf8(kCreateFailedMessage) + " (" + saved.detail + ")");
  return kExitDone;
}

}  // namespace aurisona::cli
