// How the output job uses the piece cache: the key of a record's piece, the
// entries a job can take, and what it keeps of the pieces it makes.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/output/output_job.h"
#include "core/output/piece_cache.h"

namespace aurisona {

class DataDirectory;
class IniStore;
class ReadingSpeechEngine;
class SentenceTimingEngine;

// The cache of the program's data directory (a portable install keeps its own)
// with the size limit of its setup.ini.
std::shared_ptr<PieceCache> OpenPieceCache(const DataDirectory& directory, const IniStore& settings);

class JobCache {
 public:
  JobCache(std::shared_ptr<PieceCache> cache, const OutputJobSettings& settings, SpeechEngine& speech,
           const std::vector<Voice>& installed, bool measureOnly);

  bool on() const { return cache_ && cache_->enabled(); }

  // The key of the piece record `r` makes from `clip` (its sound file; empty
  // for speech and pauses). None when the piece is not kept: a voice that is
  // not installed or speaks through a command of the user's, a clip that
  // cannot be read.
  std::optional<PieceKey> Key(const Segment& r, const std::filesystem::path& clip);

  // The stored piece when it serves this job: its MP3 when rendering, and for
  // speech watched for its timing, the timing (handed to the watcher).
  std::optional<PieceEntry> Find(const PieceKey& key, const Segment& r);

  // What is kept with a sentence just synthesised (its timing, when watched).
  std::string Note(const Segment& r) const;

  void Store(const PieceKey& key, const PieceEntry& entry);
  // At the end of the job: the cache brought within its limit.
  void Finish();

 private:
  const VoiceSlot* SlotOf(const Segment& r) const;

  std::shared_ptr<PieceCache> cache_;
  const OutputJobSettings& settings_;
  const std::vector<Voice>& installed_;
  bool measureOnly_;
  SentenceTimingEngine* timing_ = nullptr;
  const ReadingSpeechEngine* reading_ = nullptr;
  std::map<std::filesystem::path, std::optional<PieceKey>> clipHashes_;  // clip -> hash of its bytes
};

}  // namespace aurisona
