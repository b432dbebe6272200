// Reading, compiling and writing scripts of 100 KB and 1 MB: the work must grow
// linearly with the script. Compare the per-byte times of the two sizes.
#include <benchmark/benchmark.h>

#include "core/script/bundled_texts.h"
#include "core/script/compiler.h"
#include "core/script/memory_document.h"
#include "core/script/tagged_text.h"

namespace aurisona {
namespace {

std::u16string ScriptOfSize(size_t bytes) {
  // UTF-16 text: two bytes a character.
  std::u16string out;
  while (out.size() * 2 < bytes) out += BundledSampleScript();
  out.resize(bytes / 2);
  return out;
}

MediaLists Media() {
  MediaLists m;
  m.music = {u"theme.mp3"};
  m.playTimes = {0};
  return m;
}

void BM_Read(benchmark::State& state) {
  const std::u16string script = ScriptOfSize(static_cast<size_t>(state.range(0)));
  const MediaLists media = Media();
  for (auto _ : state) {
    MemoryScriptDocument doc;
    TaggedTextReader(doc, media, script, true, false);
    benchmark::DoNotOptimize(doc.Length());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Compile(benchmark::State& state) {
  const std::u16string script = ScriptOfSize(static_cast<size_t>(state.range(0)));
  const MediaLists media = Media();
  MemoryScriptDocument doc;
  TaggedTextReader(doc, media, script, true, false);
  for (auto _ : state) {
    std::vector<Segment> segments;
    ScriptCompiler(doc, media, segments);
    benchmark::DoNotOptimize(segments.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Write(benchmark::State& state) {
  const std::u16string script = ScriptOfSize(static_cast<size_t>(state.range(0)));
  const MediaLists media = Media();
  MemoryScriptDocument doc;
  TaggedTextReader(doc, media, script, true, false);
  for (auto _ : state) {
    benchmark::DoNotOptimize(TaggedTextWriter(doc, media, 0, -1));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(BM_Read)->Arg(100 << 10)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compile)->Arg(100 << 10)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write)->Arg(100 << 10)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace aurisona

BENCHMARK_MAIN();
