// Opening a listening document that carries many small media records: into a
// throw-away folder (render's scratch, not flushed to disk) and into the data
// directory (each file flushed before it replaces the old one).
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/files/document_files.h"
#include "core/script/memory_document.h"
#include "core/util/text.h"

namespace {

namespace fs = std::filesystem;
using namespace aurisona;

std::string U32(uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

fs::path MakeDocument(const fs::path& dir, int records) {
  std::string bytes("lsn\x01", 4);
  for (int k = 0; k < records; ++k) {
    const std::u16string name = Utf8ToUtf16("c" + std::to_string(k) + ".wav");
    const std::string content(2000, char(k));
    const auto crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(content.data()), uInt(content.size())));
    bytes += U32(3) + U32(crc) + U32(uint32_t(2 * name.size() + 2)) + ToUtf16Le(name) + std::string(2, '\0') + U32(0) +
             U32(uint32_t(content.size())) + content;
  }
  const std::u16string text = u"<暂停1秒>";
  bytes += U32(0) + U32(uint32_t(2 * text.size() + 2)) + ToUtf16Le(text) + std::string(2, '\0');
  const fs::path path = dir / "many.lsn";
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

void BM_OpenManyMedia(benchmark::State& state) {
  const bool durable = state.range(1) != 0;
  const fs::path dir = fs::temp_directory_path() / ("aurisona-bench-extract-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path document = MakeDocument(dir, int(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(dir / "Music");
    fs::remove_all(dir / "Record");
    fs::create_directories(dir / "Music");
    fs::create_directories(dir / "Record");
    state.ResumeTiming();
    MediaLists lists;
    DocumentMedia media{dir / "Music", dir / "Record", &lists, {}, true, durable};
    MemoryScriptDocument doc;
    const OpenResult result = OpenDocument(document, doc, media);
    if (result.mediaExtracted != state.range(0)) state.SkipWithError("records were not extracted");
  }
  fs::remove_all(dir);
}
// 5000 records of 2000 bytes; durable = 0 (scratch) and 1 (data directory).
BENCHMARK(BM_OpenManyMedia)->Args({5000, 0})->Args({5000, 1})->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
