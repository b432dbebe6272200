// Arbitrary UTF-16 text through the tagged text reader, the writer and the
// compiler. Tags are not a prefix-free code (a shortened tag can complete a
// neighbour's window), so only crashes and segment bounds are checked.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/script/compiler.h"
#include "core/script/memory_document.h"
#include "core/script/tagged_text.h"

using namespace aurisona;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text(size / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  MediaLists media;
  media.music = {u"a.mp3", u"B.WAV"};
  media.playTimes = {0, 5};
  media.recordings = {u"r.wav"};

  MemoryScriptDocument doc;
  TaggedTextReader(doc, media, text, true, false);
  const std::u16string written = TaggedTextWriter(doc, media, 0, -1);

  MemoryScriptDocument again;
  TaggedTextReader(again, media, written, true, false);

  std::vector<Segment> segments;
  ScriptCompiler(doc, media, segments);
  for (const Segment& s : segments) {
    if (s.start < 0 || s.start >= doc.Length() || s.end <= s.start) std::abort();
  }
  return 0;
}
