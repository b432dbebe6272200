#include "speech/festival/festival_engine.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>

#include "speech/ascii_text.h"
#include "speech/festival/festival_protocol.h"

extern char** environ;

namespace aurisona {
namespace {

namespace protocol = festival_protocol;

constexpr const char* kHelperName = "aurisona-festival";
constexpr const char* kVoiceFolder = "/usr/share/festival/voices/us/cmu_us_slt_arctic_hts";
constexpr int kReadyTimeoutMs = 60000;
// The voice is heard a semitone lower than it was recorded: synthesised this much faster
// and played this much slower, so its length is kept. A recogniser then gets less than
// half as many of its words wrong (about 7 % instead of 16 % on exam sentences).
const double kLowering = std::pow(2.0, 1.0 / 12);

Voice TheVoice() {
  return {u"美语女声", u"Female", u"409", u"Festival US English Female (slt HTS) 32kHz"};
}

// Beside the executable (a portable folder), in PREFIX/libexec/aurisona for an executable
// in PREFIX/bin, or where this build put it.
std::filesystem::path FindHelper() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  std::vector<std::filesystem::path> candidates;
  if (!error) {
    candidates.push_back(exe.parent_path() / kHelperName);
    candidates.push_back(exe.parent_path() / ".." / "libexec" / "aurisona" / kHelperName);
  }
#ifdef AURISONA_FESTIVAL_HELPER
  candidates.emplace_back(AURISONA_FESTIVAL_HELPER);
#endif
  for (const std::filesystem::path& path : candidates) {
    if (std::filesystem::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

bool Installed() {
  static const bool installed = [] {
    std::error_code error;
    return std::filesystem::is_directory(kVoiceFolder, error) && !FindHelper().empty();
  }();
  return installed;
}

// The helper process and the engine's end of its socket. One request at a time.
class FestivalHelper {
 public:
  static FestivalHelper& Instance() {
    static FestivalHelper helper;
    return helper;
  }
  ~FestivalHelper() { End(); }

  void Start() {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) Spawn();
  }

  enum class Outcome { kDone, kNoHelper, kFailed };
  Outcome Run(const protocol::Request& request, protocol::Response* response) {
    std::lock_guard lock(mutex_);
    if (fd_ < 0 && !Spawn()) return Outcome::kNoHelper;
    if (!ready_) {
      if (!protocol::ReceiveReady(fd_, kReadyTimeoutMs)) {
        End();  // Festival or its voice cannot start
        return Outcome::kNoHelper;
      }
      ready_ = true;
    }
    // A sentence takes a small part of its length to synthesise; a helper that takes
    // far longer hangs.
    const int timeout = 30000 + 20 * static_cast<int>(std::min<size_t>(request.text.size(), 1u << 20));
    if (!protocol::SendRequest(fd_, request) ||
        !protocol::ReceiveResponse(fd_, response, request.text.size(), timeout)) {
      End();  // the next call starts a new helper
      return Outcome::kFailed;
    }
    return Outcome::kDone;
  }

 private:
  FestivalHelper() = default;

  bool Spawn() {
    const std::filesystem::path path = FindHelper();
    if (path.empty()) return false;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], protocol::kHelperFd);
    // A process group of its own: Ctrl+C at a terminal is the program's to handle.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD}) sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    const std::string program = path.string();
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[1]);
    if (spawned != 0) {
      close(ends[0]);
      return false;
    }
    fd_ = ends[0];
    pid_ = pid;
    ready_ = false;
    return true;
  }

  void End() {
    if (fd_ >= 0) close(fd_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
    fd_ = -1;
    pid_ = -1;
    ready_ = false;
  }

  std::mutex mutex_;
  int fd_ = -1;
  pid_t pid_ = -1;
  bool ready_ = false;
};

}  // namespace

void StartFestivalEarly() {
  if (Installed()) FestivalHelper::Instance().Start();
}

std::vector<Voice> FestivalSpeechEngine::ListVoices() {
  if (!Installed()) return {};
  return {TheVoice()};
}

SynthesisStatus FestivalSpeechEngine::Synthesize(std::u16string_view text, std::u16string_view /*voice_name*/,
                                                 int rate, int volume, const SpeechSink& sink, Voice* used_voice) {
  if (text.empty()) return SynthesisStatus::kEmptyText;
  if (!Installed()) return SynthesisStatus::kNoEngine;
  // One voice: every name falls back to it.
  protocol::Request request;
  request.rate = std::clamp(rate, -10, 10);
  request.speed = kLowering;
  request.text = SpeechAsciiText(text);
  if (std::none_of(request.text.begin(), request.text.end(), IsAsciiWordByte)) {
    if (used_voice) *used_voice = TheVoice();
    return SynthesisStatus::kEmptyText;
  }
  protocol::Response response;
  switch (FestivalHelper::Instance().Run(request, &response)) {
    case FestivalHelper::Outcome::kNoHelper:
      return SynthesisStatus::kNoEngine;
    case FestivalHelper::Outcome::kFailed:
      ready_ = true;
      if (used_voice) *used_voice = TheVoice();
      return SynthesisStatus::kFailed;
    case FestivalHelper::Outcome::kDone:
      break;
  }
  ready_ = true;
  if (used_voice) *used_voice = TheVoice();
  if (response.status == protocol::Status::kNoWords) return SynthesisStatus::kEmptyText;
  if (response.status != protocol::Status::kOk) return SynthesisStatus::kFailed;

  // Played slower: the samples as if made at a lower rate, brought back to the voice's.
  const int heard_rate = static_cast<int>(std::lround(response.sample_rate / kLowering));
  std::vector<int16_t> samples = ResampleBandLimited(response.samples, heard_rate, response.sample_rate);
  const double gain = std::clamp(volume, 10, 100) / 100.0;
  if (gain != 1.0) {
    for (int16_t& s : samples) s = static_cast<int16_t>(std::lround(s * gain));
  }
  std::vector<WordBoundary> words;
  words.reserve(response.words.size());
  for (const protocol::Word& w : response.words) {
    const auto sample = static_cast<int64_t>(std::llround(static_cast<double>(w.sample) * kLowering));
    words.push_back({w.offset, w.length, std::min<int64_t>(sample, static_cast<int64_t>(samples.size()))});
  }
  SpeechChunk chunk;
  chunk.sample_rate = response.sample_rate;
  chunk.samples = samples;
  chunk.words = words;
  return sink(chunk) ? SynthesisStatus::kOk : SynthesisStatus::kStopped;
}

}  // namespace aurisona
