// A voice spoken by a program of the user's: the description in voices/NAME.ini of the
// data directory, and how its WAV output is read.
//
//   name = 美语女声(Piper)       what setup.ini stores (default: NAME)
//   display = Piper US English Female 22kHz   (default: the name)
//   language = en-US             a BCP 47 tag: cmn, en-US, en-GB, ...
//   gender = female              female or male
//   rate = 22050                 the voice's sample rate; other WAV rates are resampled
//   command = piper --model amy.onnx --output_file -    read by /bin/sh
//   timeout = 30                 seconds a sentence may take (1..600, default 30)
//
// The command reads the sentence (UTF-8) on standard input and writes one WAV file on
// standard output. In the command {speed} stands for the speed factor of the slot's
// rate (1.000 normal, 3^(rate/10)), {stretch} for its inverse and {wpm} for eSpeak's
// words per minute (175 × speed); a command without them speaks at its own speed.
// Lines starting with # or ; are comments, a [section] line is ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/speech/voice.h"

namespace aurisona {

struct CommandVoice {
  Voice voice;
  std::string command;
  int timeout_seconds = 30;
};

// The voice described by `text` (the file's bytes, UTF-8), `stem` its file name without
// ".ini"; nullopt with a one-line `error` when it is not a valid description.
std::optional<CommandVoice> ParseCommandVoice(std::string_view text, std::u16string_view stem, std::string* error);

// The command line with its placeholders filled in for `rate` (-10..10).
std::string ExpandVoiceCommand(std::string_view command, int rate);

// 16-bit mono PCM of a RIFF WAVE file (PCM 8/16/24/32-bit or 32-bit float, channels
// mixed down). A data size of 0 or larger than what follows (a program that wrote its
// header before it knew the length) means "up to the end". False with `error` otherwise.
[[nodiscard]] bool DecodeWav(std::string_view bytes, std::vector<int16_t>* samples, int* sample_rate, std::string* error);

}  // namespace aurisona
