// Speech synthesised in worker processes (aurisona-speech), so that several sentences are
// spoken at once, one per core, whatever locks the engines need inside one process.
//
// A worker holds every engine built in (the same list as CreateSpeechEngine) and speaks
// one sentence at a time; workers are started when a sentence needs one and none is
// free, up to the limit, and kept for the next. The voice of a call is chosen here, in
// the caller's order (see VoiceChoice), and the worker is told its exact name, so which
// worker speaks a sentence never changes what is heard; a voice whose engine carries state
// from one sentence to the next (Voice::carries_state) speaks each sentence in a new worker. A worker that dies, answers
// nonsense or takes longer than the time limit is killed; that sentence fails with a
// reason (TakeSpeechFailure) and the next one starts a new worker.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "core/speech/composite_engine.h"
#include "core/speech/engine_registry.h"
#include "core/speech/speech_engine.h"

namespace aurisona {

struct SpeechWorkerOptions {
  SpeechEngineOptions engines;      // what the workers' engines are made with
  int workers = 0;                  // at most this many at once; 0: one per core
  std::filesystem::path program;    // empty: aurisona-speech, found like the other helpers
  // The time a sentence may take, in milliseconds; 0: 60 s and 20 ms per character, and
  // ten minutes more for a voice from a command (which has a limit of its own).
  int time_limit_ms = 0;
};

class WorkerSpeechEngine final : public SpeechEngine {
 public:
  explicit WorkerSpeechEngine(SpeechWorkerOptions options);
  ~WorkerSpeechEngine() override;

  std::vector<Voice> ListVoices() override;
  // Without a worker program, speaks in this process like CreateSpeechEngine's engine.
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice_name, int rate, int volume,
                             const SpeechSink& sink, Voice* used_voice) override;
  bool IsReady() const override;

  // The process ids of the workers running now.
  std::vector<pid_t> Workers() const;
  int MaxWorkers() const { return max_workers_; }
  bool HasWorkerProgram() const { return !program_.empty(); }

 private:
  struct Worker {
    pid_t pid = -1;
    int fd = -1;
  };
  // A free worker, started if need be; `fresh`: a new one, for one sentence only.
  std::unique_ptr<Worker> Acquire(bool fresh, std::string* why);
  void Release(std::unique_ptr<Worker> worker);  // back to the free list
  void End(std::unique_ptr<Worker> worker);      // killed and reaped
  void Retire(std::unique_ptr<Worker> worker);   // a fresh one, done with (null: it did not start)
  std::unique_ptr<Worker> Spawn(std::string* why);

  SpeechWorkerOptions options_;
  std::filesystem::path program_;
  int max_workers_ = 1;
  std::unique_ptr<CompositeSpeechEngine> local_;  // lists and chooses voices; speaks without workers
  mutable std::mutex mutex_;
  std::condition_variable freed_;
  std::vector<std::unique_ptr<Worker>> idle_;
  std::vector<pid_t> running_;  // every worker, idle or busy
  int busy_ = 0;
  int fresh_ = 0;  // workers started for one sentence, running now
  bool ready_ = false;
};

// The engine of render, timeline and the length measure: every engine built in, spoken
// in worker processes.
std::unique_ptr<WorkerSpeechEngine> CreateWorkerSpeechEngine(const SpeechEngineOptions& options = {},
                                                             int workers = 0);

// The worker program's main loop: answers requests on speech_worker::kWorkerFd with the
// engines made from `options` until the other end closes. Returns the exit status.
int RunSpeechWorker(const SpeechEngineOptions& options);

}  // namespace aurisona
