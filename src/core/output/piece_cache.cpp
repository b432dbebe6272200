#include "core/output/piece_cache.h"

#include <fcntl.h>
#include <lame/lame.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>

#include "aurisona_version.h"
#include "core/util/regular_file.h"
#include "core/util/atomic_file.h"

namespace aurisona {
namespace fs = std::filesystem;

namespace {

constexpr std::array<uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// The entry file: a fixed header, the MP3 bytes, the note, then the SHA-256 of
// all that came before it.
constexpr char kMagic[8] = {'A', 'U', 'R', 'P', 'I', 'E', 'C', 'E'};
constexpr uint32_t kFormat = 1;
constexpr size_t kHeaderSize = 8 + 4 + 4 + 8 + 4 + 4 + 8 + 32;  // magic .. key
constexpr uint64_t kMaxEntryPart = 1ull << 32;  // a piece is below 4 GB of PCM, its MP3 far below

void PutLe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int k = 0; k < bytes; ++k) out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

uint64_t GetLe(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int k = bytes - 1; k >= 0; --k) v = (v << 8) | p[k];
  return v;
}

// What identifies the program that makes the pieces: its version, the
// encoder's, and the executable itself (a rebuild may change any piece).
std::string ProgramIdentity() {
  std::string id = std::string("aurisona ") + AURISONA_VERSION + "; lame " + get_lame_version();
  struct stat st {};
  if (::stat("/proc/self/exe", &st) == 0) {
    id += "; " + std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
          std::to_string(st.st_mtim.tv_nsec);
  }
  return id;
}

bool IsHexPair(const std::string& name) {
  return name.size() == 2 && std::all_of(name.begin(), name.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

bool ReadFileBytes(const fs::path& path, std::vector<uint8_t>* bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) < 2 * kMaxEntryPart;
  if (ok) {
    bytes->resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (ok && done < bytes->size()) {
      const ssize_t n = ::read(fd, bytes->data() + done, bytes->size() - done);
      if (n <= 0) ok = false;
      else done += static_cast<size_t>(n);
    }
  }
  ::close(fd);
  return ok;
}

struct Listed {
  fs::path path;
  fs::file_time_type used;
  uint64_t size = 0;
};

// The entries of the folder (and, with `leftovers`, unfinished writes).
std::vector<Listed> ListEntries(const fs::path& folder, std::vector<Listed>* leftovers) {
  std::vector<Listed> out;
  std::error_code ec;
  for (fs::directory_iterator d(folder, ec), end; !ec && d != end; d.increment(ec)) {
    if (!d->is_directory(ec) || !IsHexPair(d->path().filename().string())) continue;
    std::error_code inner;
    for (fs::directory_iterator f(d->path(), inner), fend; !inner && f != fend; f.increment(inner)) {
      std::error_code e;
      if (!f->is_regular_file(e)) continue;
      Listed item{f->path(), f->last_write_time(e), f->file_size(e)};
      if (e) continue;
      const std::string name = f->path().filename().string();
      if (name.ends_with(".piece") && name.front() != '.') {
        out.push_back(std::move(item));
      } else if (leftovers && name.front() == '.') {
        leftovers->push_back(std::move(item));
      }
    }
  }
  return out;
}

}  // namespace

Sha256::Sha256()
    : h_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Block(const uint8_t* p) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) {
    w[i] = uint32_t(p[4 * i]) << 24 | uint32_t(p[4 * i + 1]) << 16 | uint32_t(p[4 * i + 2]) << 8 | p[4 * i + 3];
  }
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4], f = h_[5], g = h_[6], h = h_[7];
  for (int i = 0; i < 64; ++i) {
    const uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[size_t(i)] + w[i];
    const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  h_[0] += a, h_[1] += b, h_[2] += c, h_[3] += d, h_[4] += e, h_[5] += f, h_[6] += g, h_[7] += h;
}

void Sha256::Add(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  length_ += size;
  if (buffered_ > 0) {
    const size_t take = std::min(size, 64 - buffered_);
    std::memcpy(buffer_.data() + buffered_, p, take);
    buffered_ += take;
    p += take;
    size -= take;
    if (buffered_ < 64) return;
    Block(buffer_.data());
    buffered_ = 0;
  }
  for (; size >= 64; p += 64, size -= 64) Block(p);
  if (size > 0) std::memcpy(buffer_.data(), p, size);
  buffered_ = size;
}

std::array<uint8_t, 32> Sha256::Finish() {
  const uint64_t bits = length_ * 8;
  const uint8_t one = 0x80;
  Add(&one, 1);
  const uint8_t zero = 0;
  while (buffered_ != 56) Add(&zero, 1);
  uint8_t tail[8];
  for (int k = 0; k < 8; ++k) tail[k] = static_cast<uint8_t>(bits >> (56 - 8 * k));
  Add(tail, 8);
  std::array<uint8_t, 32> out{};
  for (size_t i = 0; i < 8; ++i) {
    for (size_t k = 0; k < 4; ++k) out[4 * i + k] = static_cast<uint8_t>(h_[i] >> (24 - 8 * k));
  }
  return out;
}

PieceKeyBuilder::PieceKeyBuilder() {
  static const std::string identity = ProgramIdentity();
  Text(identity);
  Number(kFormat);
}

PieceKeyBuilder& PieceKeyBuilder::Text(std::string_view s) {
  Number(static_cast<int64_t>(s.size()));
  hash_.Add(s);
  return *this;
}

PieceKeyBuilder& PieceKeyBuilder::Text(std::u16string_view s) {
  Number(static_cast<int64_t>(s.size()));
  for (char16_t c : s) {
    const uint8_t b[2] = {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)};
    hash_.Add(b, 2);
  }
  return *this;
}

PieceKeyBuilder& PieceKeyBuilder::Number(int64_t n) {
  uint8_t b[8];
  for (int k = 0; k < 8; ++k) b[k] = static_cast<uint8_t>(uint64_t(n) >> (8 * k));
  hash_.Add(b, 8);
  return *this;
}

bool PieceKeyBuilder::FileContent(const fs::path& path) {
  // Only a regular file is read: a FIFO would block, a device never end. Such a
  // clip is not keyed, and the render itself refuses it by name.
  uint64_t size = 0;
  const StdioFile in = OpenRegularStream(path, nullptr, &size);
  if (!in) return false;
  Number(static_cast<int64_t>(size));
  std::vector<char> buffer(1 << 16);
  uint64_t total = 0;
  size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0) {
    hash_.Add(buffer.data(), n);
    total += n;
  }
  // A file that changed size while it was read is not keyed.
  return !std::ferror(in.get()) && total == size;
}

std::string PieceKeyHex(const PieceKey& key) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t b : key) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

std::vector<uint8_t> SerializePieceEntry(const PieceKey& key, const PieceEntry& entry) {
  std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
  out.reserve(kHeaderSize + entry.mp3.size() + entry.note.size() + 32);
  PutLe(out, kFormat, 4);
  PutLe(out, entry.hasMp3 ? 1 : 0, 4);
  PutLe(out, entry.frames, 8);
  PutLe(out, entry.sourceRate, 4);
  PutLe(out, entry.note.size(), 4);
  PutLe(out, entry.hasMp3 ? entry.mp3.size() : 0, 8);
  out.insert(out.end(), key.begin(), key.end());
  if (entry.hasMp3) out.insert(out.end(), entry.mp3.begin(), entry.mp3.end());
  out.insert(out.end(), entry.note.begin(), entry.note.end());
  Sha256 sum;
  sum.Add(out.data(), out.size());
  const auto digest = sum.Finish();
  out.insert(out.end(), digest.begin(), digest.end());
  return out;
}

bool ParsePieceEntry(std::span<const uint8_t> bytes, const PieceKey& key, PieceEntry* entry) {
  if (bytes.size() < kHeaderSize + 32) return false;
  const uint8_t* p = bytes.data();
  if (std::memcmp(p, kMagic, 8) != 0 || GetLe(p + 8, 4) != kFormat) return false;
  const uint64_t flags = GetLe(p + 12, 4);
  const uint64_t noteSize = GetLe(p + 28, 4);
  const uint64_t mp3Size = GetLe(p + 32, 8);
  if (flags > 1 || (flags == 0 && mp3Size != 0) || mp3Size >= kMaxEntryPart) return false;
  if (bytes.size() != kHeaderSize + mp3Size + noteSize + 32) return false;
  if (std::memcmp(p + 40, key.data(), key.size()) != 0) return false;
  const size_t body = bytes.size() - 32;
  Sha256 sum;
  sum.Add(p, body);
  const auto digest = sum.Finish();
  if (std::memcmp(digest.data(), p + body, 32) != 0) return false;
  entry->hasMp3 = flags == 1;
  entry->frames = GetLe(p + 16, 8);
  entry->sourceRate = static_cast<uint32_t>(GetLe(p + 24, 4));
  entry->mp3.assign(p + kHeaderSize, p + kHeaderSize + mp3Size);
  entry->note.assign(reinterpret_cast<const char*>(p + kHeaderSize + mp3Size), noteSize);
  return true;
}

PieceCache::PieceCache(fs::path folder, uint64_t limit) : folder_(std::move(folder)), limit_(limit) {
  if (limit_ == 0) {
    off_ = true;  // switched off in the settings: nothing to warn about
    return;
  }
  std::error_code ec;
  fs::create_directories(folder_, ec);
  if (ec || !fs::is_directory(folder_, ec)) TurnOff(folder_.string() + ": cannot be made (" + ec.message() + ")");
}

fs::path PieceCache::DefaultFolder(const fs::path& portableRoot) {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  return DefaultFolder(portableRoot, xdg ? xdg : "", home ? home : "");
}

fs::path PieceCache::DefaultFolder(const fs::path& portableRoot, const std::string& xdgCacheHome,
                                   const std::string& home) {
  if (!portableRoot.empty()) return portableRoot / "cache" / "pieces";
  fs::path base;
  if (!xdgCacheHome.empty() && fs::path(xdgCacheHome).is_absolute()) {
    base = xdgCacheHome;
  } else {
    base = fs::path(home.empty() ? fs::temp_directory_path().string() : home) / ".cache";
  }
  return base / "aurisona" / "pieces";
}

bool PieceCache::enabled() const {
  std::lock_guard lock(mutex_);
  return !off_;
}

std::string PieceCache::warning() const {
  std::lock_guard lock(mutex_);
  return warning_;
}

void PieceCache::TurnOff(std::string why) {
  std::lock_guard lock(mutex_);
  if (off_) return;
  off_ = true;
  warning_ = "the piece cache is off for this run: " + why;
}

fs::path PieceCache::PathOf(const PieceKey& key) const {
  const std::string hex = PieceKeyHex(key);
  return folder_ / hex.substr(0, 2) / (hex + ".piece");
}

std::optional<PieceEntry> PieceCache::Find(const PieceKey& key) {
  if (!enabled()) return std::nullopt;
  const fs::path path = PathOf(key);
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, &bytes)) return std::nullopt;
  PieceEntry entry;
  if (!ParsePieceEntry(bytes, key, &entry)) {
    // Damaged or cut short: made again and stored over it.
    std::error_code ec;
    fs::remove(path, ec);
    return std::nullopt;
  }
  ::utimensat(AT_FDCWD, path.c_str(), nullptr, 0);  // used now
  return entry;
}

void PieceCache::Store(const PieceKey& key, const PieceEntry& entry) {
  if (!enabled()) return;
  const fs::path path = PathOf(key);
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (ec) return TurnOff(path.parent_path().string() + ": " + ec.message());
  const std::vector<uint8_t> bytes = SerializePieceEntry(key, entry);
  AtomicFileWriter out(path, AtomicFileWriter::Options{false, false});
  if (!out.ok() || !out.Write(bytes.data(), bytes.size()) || !out.Commit()) TurnOff(out.error());
}

void PieceCache::Trim() {
  if (!enabled()) return;
  std::vector<Listed> leftovers;
  std::vector<Listed> entries = ListEntries(folder_, &leftovers);
  std::error_code ec;
  // A write another render left unfinished an hour ago is not coming back.
  const auto stale = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const Listed& l : leftovers) {
    if (l.used < stale) fs::remove(l.path, ec);
  }
  uint64_t total = 0;
  for (const Listed& e : entries) total += e.size;
  if (total <= limit_) return;
  std::sort(entries.begin(), entries.end(), [](const Listed& a, const Listed& b) { return a.used < b.used; });
  for (const Listed& e : entries) {
    if (total <= limit_) break;
    if (fs::remove(e.path, ec) || !fs::exists(e.path, ec)) total -= std::min(total, e.size);
  }
}

PieceCacheUsage PieceCache::Usage() const {
  PieceCacheUsage usage;
  for (const Listed& e : ListEntries(folder_, nullptr)) {
    usage.bytes += e.size;
    ++usage.entries;
  }
  return usage;
}

bool PieceCache::Clear(std::string* error) {
  std::error_code ec;
  for (fs::directory_iterator d(folder_, ec), end; !ec && d != end; d.increment(ec)) {
    if (!IsHexPair(d->path().filename().string())) continue;
    std::error_code e;
    fs::remove_all(d->path(), e);
    if (e) {
      if (error) *error = d->path().string() + ": " + e.message();
      return false;
    }
  }
  return true;
}

}  // namespace aurisona
