// Voices from commands: every valid voices/NAME.ini of the data directory (see
// command_voice.h), in the order of the file names.
//
// Each sentence runs the voice's command (/bin/sh -c, in a process group of its own)
// with the sentence on its standard input; its standard output is the WAV, its standard
// error is kept for the report. The whole sentence is one word: preview highlights
// sentences. A command that cannot run, exits non-zero, writes no WAV or only silence,
// or outlasts the voice's timeout (it is killed then) fails the sentence, and
// TakeSpeechFailure() says why, naming the voice.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/speech/engines/command/command_voice.h"
#include "core/speech/speech_engine.h"

namespace aurisona {

class CommandSpeechEngine final : public SpeechEngine {
 public:
  explicit CommandSpeechEngine(std::filesystem::path folder) : folder_(std::move(folder)) {}

  std::vector<Voice> ListVoices() override;
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice_name, int rate, int volume,
                             const SpeechSink& sink, Voice* used_voice) override;
  bool IsReady() const override { return ready_; }

  // The descriptions that are not valid voices: "NAME.ini: why", one per file.
  std::vector<std::string> Problems();

 private:
  void EnsureLoaded();

  std::filesystem::path folder_;
  bool loaded_ = false;
  std::vector<CommandVoice> voices_;
  std::vector<Voice> listed_;
  std::vector<std::string> problems_;
  VoiceChoice choice_;
  bool ready_ = false;
};

// Runs `command` with /bin/sh -c, `input` on its standard input, for at most
// `timeout_ms`. False with `error` when it cannot start, is killed at the timeout, or
// exits other than 0 (its last line of standard error added).
[[nodiscard]] bool RunVoiceCommand(const std::string& command, std::string_view input, int timeout_ms, std::string* output,
                     std::string* error);

}  // namespace aurisona
