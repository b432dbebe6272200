// Arbitrary bytes as a piece cache entry file, and as the speech timing note an
// entry carries. An entry that is read back is written again byte for byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>

#include "core/output/piece_cache.h"
#include "core/output/timeline.h"

namespace {

// Answers nothing: Recall only fills the table Find reads.
class SilentEngine final : public aurisona::SpeechEngine {
 public:
  std::vector<aurisona::Voice> ListVoices() override { return {}; }
  aurisona::SynthesisStatus Synthesize(std::u16string_view, std::u16string_view, int, int,
                                       const aurisona::SpeechSink&, aurisona::Voice*) override {
    return aurisona::SynthesisStatus::kNoEngine;
  }
  bool IsReady() const override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace aurisona;
  if (size == 0) return 0;
  const std::span<const uint8_t> bytes(data + 1, size - 1);
  if (data[0] & 1) {
    SilentEngine silent;
    SentenceTimingEngine timing(silent);
    const std::u16string text = u"Hello. 你好。";
    const std::string_view note(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (timing.Recall(text, u"v", 0, 100, note) && timing.Note(text, u"v", 0, 100) != note) std::abort();
    return 0;
  }
  // The key the bytes name, so the checksum is what stops them.
  PieceKey key{};
  if (bytes.size() >= 72) std::memcpy(key.data(), bytes.data() + 40, key.size());
  PieceEntry entry;
  if (ParsePieceEntry(bytes, key, &entry)) {
    const std::vector<uint8_t> again = SerializePieceEntry(key, entry);
    if (again.size() != bytes.size() || std::memcmp(again.data(), bytes.data(), again.size()) != 0) std::abort();
  }
  return 0;
}
