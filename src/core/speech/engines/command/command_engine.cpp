#include "core/speech/engines/command/command_engine.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>

#include "core/speech/engine_registry.h"
#include "core/util/text.h"
#include "core/util/spawn.h"


namespace aurisona {
namespace {

constexpr size_t kMaxOutputBytes = size_t{256} << 20;
constexpr uintmax_t kMaxDescriptionBytes = 64 * 1024;

std::string LastLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  const size_t at = text.rfind('\n');
  if (at != std::string::npos) text.erase(0, at + 1);
  if (text.size() > 200) text.resize(200);
  return text;
}

}  // namespace

bool RunVoiceCommand(const std::string& command, std::string_view input, int timeout_ms, std::string* output,
                     std::string* error) {
  output->clear();
  int in[2];
  int out[2];
  int err[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) return *error = "cannot start it", false;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]), close(in[1]);
    return *error = "cannot start it", false;
  }
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(in[0]), close(in[1]), close(out[0]), close(out[1]);
    return *error = "cannot start it", false;
  }
  char shell[] = "/bin/sh";
  char dash_c[] = "-c";
  char* argv[] = {shell, dash_c, const_cast<char*>(command.c_str()), nullptr};
  pid_t pid = -1;
  // Killed as a group when it hangs.
  const int spawned = SpawnHelper(&pid, shell, argv, {{0, in[1]}, {1, out[1]}, {2, err[1]}});
  close(in[1]);
  close(out[1]);
  close(err[1]);
  if (spawned != 0) {
    close(in[0]), close(out[0]), close(err[0]);
    return *error = "cannot start /bin/sh", false;
  }

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  std::string errors;
  size_t written = 0;
  int in_fd = in[0];
  if (input.empty()) shutdown(in_fd, SHUT_WR);
  bool out_open = true, err_open = true, timed_out = false, too_much = false;
  while (out_open || err_open) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      timed_out = true;
      break;
    }
    pollfd p[3] = {{out_open ? out[0] : -1, POLLIN, 0},
                   {err_open ? err[0] : -1, POLLIN, 0},
                   {written < input.size() ? in_fd : -1, POLLOUT, 0}};
    const int ready = poll(p, 3, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) break;
    char buffer[65536];
    for (int k = 0; k < 2; ++k) {
      if (!(p[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = read(p[k].fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        (k == 0 ? out_open : err_open) = false;
      } else if (k == 0) {
        output->append(buffer, static_cast<size_t>(n));
      } else if (errors.size() < 65536) {
        errors.append(buffer, static_cast<size_t>(n));
      }
    }
    if (output->size() > kMaxOutputBytes) {
      too_much = true;
      break;
    }
    if (p[2].revents & (POLLOUT | POLLERR | POLLHUP)) {
      const ssize_t n = send(in_fd, input.data() + written, input.size() - written, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EINTR) written = input.size();  // it stopped reading
      if (written == input.size()) shutdown(in_fd, SHUT_WR);
    }
  }
  close(in_fd);
  close(out[0]);
  close(err[0]);
  if (timed_out || too_much) kill(-pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!timed_out && !too_much) kill(-pid, SIGKILL);  // what it left running
  if (timed_out) return *error = "no answer within " + std::to_string(timeout_ms / 1000) + " s (killed)", false;
  if (too_much) return *error = "more than 256 MB of output", false;
  const std::string said = LastLine(errors);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
    return *error = "command not found" + (said.empty() ? "" : ": " + said), false;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *error = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                               : "ended by signal " + std::to_string(WTERMSIG(status));
    if (!said.empty()) *error += ": " + said;
    return false;
  }
  return true;
}

void CommandSpeechEngine::EnsureLoaded() {
  if (loaded_) return;
  loaded_ = true;
  std::error_code ec;
  std::vector<std::filesystem::path> files;
  if (!folder_.empty() && std::filesystem::is_directory(folder_, ec)) {
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
      if (entry.path().extension() == ".ini") files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  for (const std::filesystem::path& file : files) {
    const std::string label = file.filename().string();
    if (!std::filesystem::is_regular_file(file, ec) || std::filesystem::file_size(file, ec) > kMaxDescriptionBytes) {
      problems_.push_back(label + ": not a regular file of at most 64 KB");
      continue;
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::string why;
    std::optional<CommandVoice> voice = ParseCommandVoice(bytes.str(), Utf8ToUtf16(file.stem().string()), &why);
    const bool taken = voice && std::any_of(voices_.begin(), voices_.end(),
                                            [&](const CommandVoice& v) { return v.voice.name == voice->voice.name; });
    if (!voice || taken) {
      problems_.push_back(label + ": " + (taken ? "the name of another voice" : why));
      continue;
    }
    listed_.push_back(voice->voice);
    voices_.push_back(std::move(*voice));
  }
}

std::vector<Voice> CommandSpeechEngine::ListVoices() {
  EnsureLoaded();
  return listed_;
}

std::vector<std::string> CommandSpeechEngine::Problems() {
  EnsureLoaded();
  return problems_;
}

SynthesisStatus CommandSpeechEngine::Synthesize(std::u16string_view text, std::u16string_view voice_name, int rate,
                                                int volume, const SpeechSink& sink, Voice* used_voice) {
  if (text.empty()) return SynthesisStatus::kEmptyText;
  EnsureLoaded();
  const int chosen = choice_.Choose(listed_, voice_name);
  if (chosen < 0) return SynthesisStatus::kNoEngine;
  ready_ = true;
  const CommandVoice& voice = voices_[static_cast<size_t>(chosen)];
  if (used_voice) *used_voice = voice.voice;
  // The whole text is the one word; a text of blanks and punctuation has none.
  const auto blank = [](char16_t c) { return c <= u' ' || c == u'\u00A0' || c == u'\u3000'; };
  size_t first = 0;
  while (first < text.size() && blank(text[first])) ++first;
  size_t last = text.size();
  while (last > first && blank(text[last - 1])) --last;
  const bool has_word = std::any_of(text.begin() + static_cast<std::ptrdiff_t>(first),
                                    text.begin() + static_cast<std::ptrdiff_t>(last), [](char16_t c) {
                                      return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
                                             (c >= u'a' && c <= u'z') || c >= 0x00C0;
                                    });
  if (!has_word) return SynthesisStatus::kEmptyText;

  const auto fail = [&](const std::string& why) {
    ReportSpeechFailure("voice " + Utf16ToUtf8(voice.voice.name) + " (" + voice.command + "): " + why);
    return SynthesisStatus::kFailed;
  };
  std::string wav;
  std::string error;
  if (!RunVoiceCommand(ExpandVoiceCommand(voice.command, rate), Utf16ToUtf8(text), voice.timeout_seconds * 1000, &wav,
                       &error)) {
    return fail(error);
  }
  std::vector<int16_t> samples;
  int wav_rate = 0;
  if (!DecodeWav(wav, &samples, &wav_rate, &error)) return fail("its output is " + error);
  if (wav_rate != voice.voice.sample_rate) samples = ResampleBandLimited(samples, wav_rate, voice.voice.sample_rate);
  if (std::none_of(samples.begin(), samples.end(), [](int16_t s) { return std::abs(s) > 64; })) {
    return fail("its output is silent");
  }
  const double gain = std::clamp(volume, 10, 100) / 100.0;
  if (gain != 1.0) {
    for (int16_t& s : samples) s = static_cast<int16_t>(std::lround(s * gain));
  }
  const WordBoundary word{static_cast<int>(first), static_cast<int>(last - first), 0};
  SpeechChunk chunk;
  chunk.sample_rate = voice.voice.sample_rate;
  chunk.samples = samples;
  chunk.words = {&word, 1};
  return sink(chunk) ? SynthesisStatus::kOk : SynthesisStatus::kStopped;
}

extern const SpeechEngineRegistration kSpeechEngine_command = {
    "command",
    [](const SpeechEngineOptions& options) -> std::unique_ptr<SpeechEngine> {
      return std::make_unique<CommandSpeechEngine>(options.data_directory.empty() ? std::filesystem::path()
                                                                                  : options.data_directory / "voices");
    },
    nullptr};

}  // namespace aurisona
