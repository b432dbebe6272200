#include "core/speech/engines/festival/festival_engine.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>

#include "core/speech/ascii_text.h"
#include "core/speech/engine_registry.h"
#include "core/speech/engines/festival/festival_protocol.h"
#include "core/util/spawn.h"


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

constexpr int kSampleRate = 32000;  // the HTS voice's

Voice TheVoice() {
  return {u"美语女声", u"Festival US English Female (slt HTS) 32kHz", "en-US", VoiceGender::kFemale, kSampleRate,
          u"Festival"};
}

std::filesystem::path FindHelper() {
#ifdef AURISONA_FESTIVAL_HELPER
  return FindHelperProgram(kHelperName, AURISONA_FESTIVAL_HELPER);
#else
  return FindHelperProgram(kHelperName, nullptr);
#endif
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
    const std::string program = path.string();
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = -1;
    const int spawned =
        SpawnHelper(&pid, program.c_str(), argv, {{0, -1}, {1, -1}, {2, -1}, {protocol::kHelperFd, ends[1]}});
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

// Where the text is cut into utterances of at most kPieceBytes: after the last sentence
// or clause punctuation, else the last blank, else anywhere. Festival's heap holds a
// long sentence, not a page (or a "word" of a thousand letters, which it spells out).
constexpr size_t kPieceBytes = 400;

std::vector<std::pair<size_t, size_t>> SplitForFestival(const std::string& text) {
  std::vector<std::pair<size_t, size_t>> pieces;
  size_t begin = 0;
  while (text.size() - begin > kPieceBytes) {
    const std::string_view window(text.data() + begin, kPieceBytes);
    size_t cut = std::string_view::npos;
    for (size_t i = window.size(); i-- > 1;) {
      if (window[i] == ' ' && std::string_view(".?!;:,").find(window[i - 1]) != std::string_view::npos) {
        cut = i;
        break;
      }
    }
    if (cut == std::string_view::npos) cut = window.rfind(' ');
    if (cut == std::string_view::npos || cut == 0) cut = window.size();
    pieces.emplace_back(begin, begin + cut);
    begin += cut;
  }
  pieces.emplace_back(begin, text.size());
  return pieces;
}

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
  const std::string input = SpeechAsciiText(text);
  if (std::none_of(input.begin(), input.end(), IsAsciiWordByte)) {
    if (used_voice) *used_voice = TheVoice();
    return SynthesisStatus::kEmptyText;
  }
  // Piece by piece: each is one utterance, one answer of the helper.
  std::vector<int16_t> samples;
  std::vector<WordBoundary> words;
  const double gain = std::clamp(volume, 10, 100) / 100.0;
  for (const auto& [begin, end] : SplitForFestival(input)) {
    protocol::Request request;
    request.rate = std::clamp(rate, -10, 10);
    request.speed = kLowering;
    request.text = input.substr(begin, end - begin);
    if (std::none_of(request.text.begin(), request.text.end(), IsAsciiWordByte)) continue;
    protocol::Response response;
    const FestivalHelper::Outcome outcome = FestivalHelper::Instance().Run(request, &response);
    if (outcome == FestivalHelper::Outcome::kNoHelper) return SynthesisStatus::kNoEngine;
    ready_ = true;
    if (used_voice) *used_voice = TheVoice();
    if (outcome == FestivalHelper::Outcome::kFailed || response.status == protocol::Status::kFailed) {
      ReportSpeechFailure("voice 美语女声 (Festival): " + std::string(outcome == FestivalHelper::Outcome::kFailed
                                                                          ? "the helper died or did not answer"
                                                                          : "Festival could not say it"));
      return SynthesisStatus::kFailed;
    }
    if (response.status == protocol::Status::kNoWords) continue;
    // Played slower: the samples as if made at a lower rate, brought back to the voice's.
    const int heard_rate = static_cast<int>(std::lround(response.sample_rate / kLowering));
    const auto start = static_cast<int64_t>(samples.size());
    const std::vector<int16_t> piece = ResampleBandLimited(response.samples, heard_rate, kSampleRate);
    for (const int16_t v : piece) samples.push_back(static_cast<int16_t>(std::lround(v * gain)));
    for (const protocol::Word& w : response.words) {
      const auto at = static_cast<int64_t>(std::llround(static_cast<double>(w.sample) * kSampleRate / heard_rate));
      words.push_back({static_cast<int>(begin) + w.offset, w.length,
                       start + std::min<int64_t>(at, static_cast<int64_t>(piece.size()))});
    }
  }
  if (words.empty()) return SynthesisStatus::kEmptyText;
  SpeechChunk chunk;
  chunk.sample_rate = kSampleRate;
  chunk.samples = samples;
  chunk.words = words;
  return sink(chunk) ? SynthesisStatus::kOk : SynthesisStatus::kStopped;
}

extern const SpeechEngineRegistration kSpeechEngine_festival = {
    "festival", [](const SpeechEngineOptions&) -> std::unique_ptr<SpeechEngine> {
      return std::make_unique<FestivalSpeechEngine>();
    },
    &StartFestivalEarly};

}  // namespace aurisona
