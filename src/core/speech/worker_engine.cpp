#include "core/speech/worker_engine.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/speech/worker_protocol.h"
#include "core/util/text.h"
#include "core/util/spawn.h"


namespace aurisona {
namespace {

namespace fs = std::filesystem;
namespace protocol = speech_worker;

constexpr const char* kProgramName = "aurisona-speech";
constexpr int kStartTimeoutMs = 60000;

fs::path FindProgram() {
#ifdef AURISONA_SPEECH_WORKER
  return FindHelperProgram(kProgramName, AURISONA_SPEECH_WORKER);
#else
  return FindHelperProgram(kProgramName, nullptr);
#endif
}

std::string Excerpt(std::u16string_view text) {
  constexpr size_t kMost = 60;
  std::string excerpt = Utf16ToUtf8(text.substr(0, kMost));
  return text.size() > kMost ? excerpt + "..." : excerpt;
}

}  // namespace

WorkerSpeechEngine::WorkerSpeechEngine(SpeechWorkerOptions options)
    : options_(std::move(options)),
      program_(options_.program.empty() ? FindProgram() : options_.program),
      local_(CreateCompositeSpeechEngine(options_.engines)) {
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  max_workers_ = std::clamp(options_.workers > 0 ? options_.workers : cores, 1, 64);
}

WorkerSpeechEngine::~WorkerSpeechEngine() {
  std::lock_guard lock(mutex_);
  // A worker ends when it reads the end of its socket, and ends its own helpers (Festival)
  // as it goes; one that does not within two seconds is killed.
  for (auto& worker : idle_) close(worker->fd);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (auto& worker : idle_) {
    while (waitpid(worker->pid, nullptr, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(worker->pid, SIGKILL);
        while (waitpid(worker->pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
}

std::vector<Voice> WorkerSpeechEngine::ListVoices() { return local_->ListVoices(); }

bool WorkerSpeechEngine::IsReady() const {
  std::lock_guard lock(mutex_);
  return ready_ || local_->IsReady();
}

std::vector<pid_t> WorkerSpeechEngine::Workers() const {
  std::lock_guard lock(mutex_);
  return running_;
}

std::unique_ptr<WorkerSpeechEngine::Worker> WorkerSpeechEngine::Spawn(std::string* why) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return *why = "no socket", nullptr;
  const std::string program = program_.string();
  const std::string directory = options_.engines.data_directory.string();
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  std::string flag = "--data-dir";
  if (!directory.empty()) {
    argv.push_back(flag.data());
    argv.push_back(const_cast<char*>(directory.c_str()));
  }
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = SpawnHelper(&pid, program.c_str(), argv.data(),
                                  {{0, -1}, {1, -1}, {2, -1}, {protocol::kWorkerFd, ends[1]}});
  close(ends[1]);
  if (spawned != 0) {
    close(ends[0]);
    return *why = "cannot start " + program, nullptr;
  }
  auto worker = std::make_unique<Worker>();
  worker->pid = pid;
  worker->fd = ends[0];
  std::string ready;
  if (!protocol::ReceiveMessage(worker->fd, &ready, kStartTimeoutMs) || ready != protocol::kReady) {
    End(std::move(worker));
    return *why = program + " did not start", nullptr;
  }
  return worker;
}

std::unique_ptr<WorkerSpeechEngine::Worker> WorkerSpeechEngine::Acquire(bool fresh, std::string* why) {
  {
    std::unique_lock lock(mutex_);
    if (fresh) {
      // Besides the others, which keep the engines they have loaded; as many at once.
      freed_.wait(lock, [&] { return fresh_ < max_workers_; });
      ++fresh_;
      lock.unlock();
      auto worker = Spawn(why);
      if (!worker) Retire(nullptr);
      return worker;
    }
    freed_.wait(lock, [&] { return !idle_.empty() || static_cast<int>(running_.size()) < max_workers_; });
    if (!idle_.empty()) {
      auto worker = std::move(idle_.back());
      idle_.pop_back();
      ++busy_;
      return worker;
    }
    running_.push_back(-1);  // its place, taken while it starts
    ++busy_;
  }
  auto worker = Spawn(why);
  std::lock_guard lock(mutex_);
  const auto place = std::find(running_.begin(), running_.end(), -1);
  if (worker) {
    *place = worker->pid;
  } else {
    running_.erase(place);
    --busy_;
    freed_.notify_all();
  }
  return worker;
}

void WorkerSpeechEngine::Release(std::unique_ptr<Worker> worker) {
  {
    std::lock_guard lock(mutex_);
    idle_.push_back(std::move(worker));
    --busy_;
  }
  freed_.notify_all();
}

void WorkerSpeechEngine::Retire(std::unique_ptr<Worker> worker) {
  if (worker) {
    close(worker->fd);
    kill(worker->pid, SIGKILL);
    while (waitpid(worker->pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  {
    std::lock_guard lock(mutex_);
    --fresh_;
  }
  freed_.notify_all();
}

void WorkerSpeechEngine::End(std::unique_ptr<Worker> worker) {
  close(worker->fd);
  kill(worker->pid, SIGKILL);
  while (waitpid(worker->pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  {
    std::lock_guard lock(mutex_);
    const auto place = std::find(running_.begin(), running_.end(), worker->pid);
    if (place != running_.end()) {
      running_.erase(place);
      --busy_;
    }
  }
  freed_.notify_all();
}

SynthesisStatus WorkerSpeechEngine::Synthesize(std::u16string_view text, std::u16string_view voice_name, int rate,
                                               int volume, const SpeechSink& sink, Voice* used_voice) {
  if (program_.empty()) return local_->Synthesize(text, voice_name, rate, volume, sink, used_voice);
  if (text.empty()) return SynthesisStatus::kEmptyText;
  const std::optional<Voice> voice = local_->SelectVoice(voice_name);
  if (!voice) return SynthesisStatus::kNoEngine;
  protocol::Request request;
  request.voice = voice->name;
  request.rate = std::clamp(rate, -10, 10);
  request.volume = std::clamp(volume, 10, 100);
  request.text = std::u16string(text.substr(0, protocol::kMaxTextUnits));
  const std::string named = "voice " + Utf16ToUtf8(voice->name) + ": ";

  std::string why;
  const bool fresh = voice->carries_state;
  std::unique_ptr<Worker> worker = Acquire(fresh, &why);
  if (!worker) {
    ReportSpeechFailure(named + why);
    return SynthesisStatus::kNoEngine;
  }
  int limit = options_.time_limit_ms;
  if (limit <= 0) {
    limit = 60000 + 20 * static_cast<int>(request.text.size()) + (voice->engine == u"命令" ? 600000 : 0);
  }
  std::string answer;
  const auto sent = std::chrono::steady_clock::now();
  if (!protocol::SendMessage(worker->fd, protocol::EncodeRequest(request)) ||
      !protocol::ReceiveMessage(worker->fd, &answer, limit)) {
    // Dead, or still at it past the limit: it is replaced by the next sentence's worker.
    const bool gone = std::chrono::steady_clock::now() - sent < std::chrono::milliseconds(limit);
    fresh ? Retire(std::move(worker)) : End(std::move(worker));
    ReportSpeechFailure(named + (gone ? "the speech worker ended while speaking \"" + Excerpt(text) + "\""
                                      : "no answer from the speech worker within " + std::to_string(limit / 1000) +
                                            " s for \"" + Excerpt(text) + "\" (killed)"));
    return SynthesisStatus::kFailed;
  }
  const std::optional<protocol::Response> response = protocol::ParseResponse(
      std::span(reinterpret_cast<const uint8_t*>(answer.data()), answer.size()), request.text.size());
  if (!response) {
    fresh ? Retire(std::move(worker)) : End(std::move(worker));
    ReportSpeechFailure(named + "the speech worker answered nonsense");
    return SynthesisStatus::kFailed;
  }
  fresh ? Retire(std::move(worker)) : Release(std::move(worker));
  {
    std::lock_guard lock(mutex_);
    ready_ = true;
  }
  if (used_voice && !response->voice.empty()) {
    Voice spoke = *voice;
    spoke.name = response->voice;
    if (spoke.name != voice->name) {
      for (const Voice& v : local_->ListVoices()) {
        if (v.name == response->voice) spoke = v;
      }
    }
    *used_voice = spoke;
  }
  if (response->status == SynthesisStatus::kFailed && !response->reason.empty()) ReportSpeechFailure(response->reason);
  if (response->status != SynthesisStatus::kOk) return response->status;
  SpeechChunk chunk;
  chunk.sample_rate = response->sample_rate;
  chunk.samples = response->samples;
  chunk.words = response->words;
  return sink(chunk) ? SynthesisStatus::kOk : SynthesisStatus::kStopped;
}

std::unique_ptr<WorkerSpeechEngine> CreateWorkerSpeechEngine(const SpeechEngineOptions& options, int workers) {
  SpeechWorkerOptions o;
  o.engines = options;
  o.workers = workers;
  return std::make_unique<WorkerSpeechEngine>(std::move(o));
}

int RunSpeechWorker(const SpeechEngineOptions& options) {
  signal(SIGPIPE, SIG_IGN);
  const std::unique_ptr<SpeechEngine> engine = CreateSpeechEngine(options);
  if (!protocol::SendMessage(protocol::kWorkerFd, std::string(protocol::kReady))) return 1;
  for (std::string message; protocol::ReceiveMessage(protocol::kWorkerFd, &message, -1);) {
    const std::optional<protocol::Request> request =
        protocol::ParseRequest(std::span(reinterpret_cast<const uint8_t*>(message.data()), message.size()));
    if (!request) return 2;
    SpeechAudio audio;
    protocol::Response response;
    response.status = engine->SynthesizeAll(request->text, request->voice, request->rate, request->volume, &audio);
    response.voice = audio.voice.name;
    response.sample_rate = audio.sample_rate;
    response.samples = std::move(audio.samples);
    // Only words inside the text and the audio, in order, cross the pipe.
    int64_t last = 0;
    for (WordBoundary w : audio.words) {
      w.sample = std::min<int64_t>(w.sample, static_cast<int64_t>(response.samples.size()));
      if (w.offset < 0 || w.length < 0 ||
          static_cast<size_t>(w.offset) + static_cast<size_t>(w.length) > request->text.size() || w.sample < last) {
        continue;
      }
      last = w.sample;
      response.words.push_back(w);
    }
    if (response.status == SynthesisStatus::kFailed) response.reason = TakeSpeechFailure();
    if (!protocol::SendMessage(protocol::kWorkerFd, protocol::EncodeResponse(response))) return 1;
  }
  return 0;
}

}  // namespace aurisona
