// Arbitrary bytes opened as a document (listening document or text file) in a
// private folder, and recovered when damaged: nothing may be written outside
// its Music and Record folders.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/files/document_files.h"
#include "core/script/memory_document.h"

using namespace aurisona;
namespace fs = std::filesystem;

namespace {

fs::path Root() {
  static const fs::path root = [] {
    std::string tmpl = (fs::temp_directory_path() / "aurisona-fuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    return fs::path(tmpl);
  }();
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path root = Root();
  fs::remove_all(root / "data");
  fs::create_directories(root / "data" / "Music");
  fs::create_directories(root / "data" / "Record");
  const fs::path input = root / "input.lsn";
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  MediaLists lists;
  DocumentMedia media{root / "data" / "Music", root / "data" / "Record", &lists, {}};
  MemoryScriptDocument doc;
  if (OpenDocument(input, doc, media).status == OpenStatus::kDamaged) {
    // What can be read of it is recovered; the text read is what the document holds.
    RecoveryReport report;
    const OpenResult recovered = RecoverDocument(input, doc, media, &report);
    if ((recovered.status == OpenStatus::kOpened) != report.TextRead()) std::abort();
  }
  // Only the input, the data folder and its two media folders may exist.
  for (const auto& entry : fs::directory_iterator(root)) {
    const auto name = entry.path().filename();
    if (name != "input.lsn" && name != "data") std::abort();
  }
  for (const auto& entry : fs::directory_iterator(root / "data")) {
    const auto name = entry.path().filename();
    if (name != "Music" && name != "Record") std::abort();
  }
  // Whatever was opened saves and opens again.
  SaveListeningDocument(root / "data" / "again.lsn", doc, media);
  MemoryScriptDocument again;
  if (OpenDocument(root / "data" / "again.lsn", again, media).status != OpenStatus::kOpened) std::abort();
  fs::remove(root / "data" / "again.lsn");
  return 0;
}
