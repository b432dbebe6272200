// The piece cache: MP3 pieces the output job made before, kept on disk under a
// key that hashes everything deciding their bytes, so an output run again (or
// after a small edit) writes most pieces from here instead of synthesising and
// encoding them again.
//
// One file per piece, <folder>/<first two hex digits>/<key>.piece, written to a
// temporary file beside it and renamed into place, so a reader (another render
// running at the same time) sees a whole entry or none. An entry carries a
// SHA-256 of its contents: a damaged or truncated entry is treated as missing
// and made again. Entries are used in least-recently-used order: a hit touches
// the file's modification time, and Trim() removes the oldest-used until the
// folder is under its size limit.
//
// A folder that cannot be made or written (read-only, the disk full) turns the
// cache off for the rest of the run; warning() then says why, once.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace aurisona {

// SHA-256 of a byte string, fed in parts.
class Sha256 {
 public:
  Sha256();
  void Add(const void* data, size_t size);
  void Add(std::string_view s) { Add(s.data(), s.size()); }
  std::array<uint8_t, 32> Finish();

 private:
  void Block(const uint8_t* p);
  std::array<uint32_t, 8> h_;
  std::array<uint8_t, 64> buffer_{};
  size_t buffered_ = 0;
  uint64_t length_ = 0;
};

using PieceKey = std::array<uint8_t, 32>;

// Builds a key from typed fields; each field is length-prefixed, so no two
// different field lists hash alike by running into one another.
class PieceKeyBuilder {
 public:
  PieceKeyBuilder();  // starts with the program's identity and the entry format
  PieceKeyBuilder& Text(std::string_view s);
  PieceKeyBuilder& Text(std::u16string_view s);
  PieceKeyBuilder& Number(int64_t n);
  // The file's bytes. False when it cannot be read whole (no key then).
  bool FileContent(const std::filesystem::path& path);
  PieceKey Finish() { return hash_.Finish(); }

 private:
  Sha256 hash_;
};

std::string PieceKeyHex(const PieceKey& key);

// What an entry holds. An entry made while only measuring has no MP3 bytes.
struct PieceEntry {
  bool hasMp3 = false;
  std::vector<uint8_t> mp3;
  uint64_t frames = 0;      // MP3 frames of the piece
  uint32_t sourceRate = 0;  // sample rate of its source PCM; 0 when not known
  std::string note;         // what else the job keeps with a piece (speech timing)
};

// The bytes of an entry file, and back. ParsePieceEntry is false for anything
// that is not a whole, intact entry of `key`.
std::vector<uint8_t> SerializePieceEntry(const PieceKey& key, const PieceEntry& entry);
bool ParsePieceEntry(std::span<const uint8_t> bytes, const PieceKey& key, PieceEntry* entry);

inline constexpr uint64_t kDefaultPieceCacheLimit = 1024ull * 1024 * 1024;

struct PieceCacheUsage {
  uint64_t bytes = 0;
  uint64_t entries = 0;
};

class PieceCache {
 public:
  // `limit` in bytes; 0 keeps nothing (the cache is off).
  PieceCache(std::filesystem::path folder, uint64_t limit = kDefaultPieceCacheLimit);

  // $XDG_CACHE_HOME/aurisona/pieces (an absolute XDG_CACHE_HOME), else
  // $HOME/.cache/aurisona/pieces; a portable install (`portableRoot` not
  // empty) keeps it in its own folder: <portableRoot>/cache/pieces.
  static std::filesystem::path DefaultFolder(const std::filesystem::path& portableRoot = {});
  static std::filesystem::path DefaultFolder(const std::filesystem::path& portableRoot, const std::string& xdgCacheHome,
                                             const std::string& home);

  const std::filesystem::path& folder() const { return folder_; }
  bool enabled() const;

  // The entry of `key` when it is there and intact; marks it used.
  std::optional<PieceEntry> Find(const PieceKey& key);
  // Keeps an entry; a failure to write turns the cache off (see warning()).
  void Store(const PieceKey& key, const PieceEntry& entry);
  // Removes the least recently used entries until the folder is within its
  // limit, and leftovers of writes that never finished.
  void Trim();

  // Why the cache was turned off; empty while it works.
  std::string warning() const;

  PieceCacheUsage Usage() const;
  // Removes every entry. False (with `error`) when one could not be removed.
  bool Clear(std::string* error);

 private:
  std::filesystem::path PathOf(const PieceKey& key) const;
  void TurnOff(std::string why);

  std::filesystem::path folder_;
  uint64_t limit_;
  mutable std::mutex mutex_;
  bool off_ = false;
  std::string warning_;
};

}  // namespace aurisona
