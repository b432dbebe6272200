#include "core/output/job_cache.h"

#include <algorithm>

#include "core/audio/piece_output.h"
#include "core/media/data_directory.h"
#include "core/settings/settings_record.h"
#include "core/output/timeline.h"
#include "core/reading/reading_engine.h"
#include "core/speech/voice_slots.h"

namespace aurisona {
namespace {

// The engine of voices spoken by a program of the user's: what it says may
// change under the same description, so its pieces are made every time.
constexpr std::u16string_view kCommandEngine = u"命令";

void AddSoundSettings(PieceKeyBuilder& key, const PieceSettings& s, PieceKind kind) {
  const PieceGain& gain = PieceGainOf(s, kind);
  key.Number(static_cast<int>(kind)).Number(gain.automatic).Number(gain.fixed).Number(gain.percent);
  const bool fade = FadeApplies(s, kind);
  key.Number(fade).Number(fade ? s.fadeSeconds : 0);
  key.Number(s.loudness.on);
  key.Text(std::to_string(s.loudness.targetLufs)).Text(std::to_string(s.loudness.ceilingDbtp));
  key.Number(s.removeInfrasound);
}

}  // namespace

std::shared_ptr<PieceCache> OpenPieceCache(const DataDirectory& directory, const IniStore& settings) {
  const bool portable = !directory.root().empty() && directory.root() == DataDirectory::ExecutableDirectory();
  return std::make_shared<PieceCache>(PieceCache::DefaultFolder(portable ? directory.root() : std::filesystem::path()),
                                      ReadPieceCacheLimit(settings));
}

JobCache::JobCache(std::shared_ptr<PieceCache> cache, const OutputJobSettings& settings, SpeechEngine& speech,
                   const std::vector<Voice>& installed, bool measureOnly)
    : cache_(std::move(cache)), settings_(settings), installed_(installed), measureOnly_(measureOnly) {
  timing_ = dynamic_cast<SentenceTimingEngine*>(&speech);
  SpeechEngine& spoken = timing_ ? timing_->inner() : speech;
  reading_ = dynamic_cast<const ReadingSpeechEngine*>(&spoken);
}

const VoiceSlot* JobCache::SlotOf(const Segment& r) const {
  const int slot = r.Slot();
  if (slot < 1) return nullptr;
  return &settings_.voices[static_cast<size_t>(slot - 1)];
}

std::optional<PieceKey> JobCache::Key(const Segment& r, const std::filesystem::path& clip) {
  if (!on()) return std::nullopt;
  PieceKeyBuilder key;
  key.Number(IsPauseSegment(r.kind) ? kSegPauseMin : r.kind);
  if (IsPauseSegment(r.kind)) {
    key.Number(r.kind);
    return key.Finish();
  }
  if (r.kind == kSegSpeech) {
    const VoiceSlot* slot = SlotOf(r);
    if (!slot) return std::nullopt;
    // A voice that is not installed speaks as the sentences before chose.
    const auto voice = std::find_if(installed_.begin(), installed_.end(),
                                    [&](const Voice& v) { return v.name == slot->voice; });
    if (voice == installed_.end() || voice->engine == kCommandEngine) return std::nullopt;
    key.Text(voice->engine).Text(voice->name).Text(voice->language).Number(voice->sample_rate);
    key.Number(slot->rate).Number(slot->volume);
    key.Text(reading_ ? reading_->Spoken(r.text).text : r.text);
    AddSoundSettings(key, settings_.pieces, PieceKind::Speech);
    return key.Finish();
  }
  if (clip.empty()) return std::nullopt;
  const PieceKind kind = r.kind == kSegMusic       ? PieceKind::Music
                         : r.kind == kSegRecording ? PieceKind::Recording
                                                   : PieceKind::PromptTone;
  // A clip is known by its bytes; its file name only decides how it is read.
  auto hashed = clipHashes_.find(clip);
  if (hashed == clipHashes_.end()) {
    PieceKeyBuilder content;
    hashed = clipHashes_.emplace(clip, content.FileContent(clip) ? std::optional(content.Finish()) : std::nullopt).first;
  }
  if (!hashed->second) return std::nullopt;
  key.Text(std::string_view(reinterpret_cast<const char*>(hashed->second->data()), hashed->second->size()));
  key.Number(static_cast<int>(SourceTypeOf(clip))).Number(HasRiffWaveHeader(clip));
  key.Number(r.kind == kSegMusic ? r.PlayTime() : 0);
  AddSoundSettings(key, settings_.pieces, kind);
  return key.Finish();
}

std::optional<PieceEntry> JobCache::Find(const PieceKey& key, const Segment& r) {
  if (!on()) return std::nullopt;
  std::optional<PieceEntry> entry = cache_->Find(key);
  if (!entry || (!measureOnly_ && !entry->hasMp3)) return std::nullopt;
  if (r.kind == kSegSpeech && timing_) {
    const VoiceSlot* slot = SlotOf(r);
    if (!slot || !timing_->Recall(r.text, slot->voice, slot->rate, slot->volume, entry->note)) return std::nullopt;
  }
  return entry;
}

std::string JobCache::Note(const Segment& r) const {
  const VoiceSlot* slot = r.kind == kSegSpeech ? SlotOf(r) : nullptr;
  if (!slot || !timing_) return {};
  return timing_->Note(r.text, slot->voice, slot->rate, slot->volume);
}

void JobCache::Store(const PieceKey& key, const PieceEntry& entry) {
  if (on()) cache_->Store(key, entry);
}

void JobCache::Finish() {
  if (on()) cache_->Trim();
}

}  // namespace aurisona
