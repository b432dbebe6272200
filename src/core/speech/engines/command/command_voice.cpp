#include "core/speech/engines/command/command_voice.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/speech/speech_engine.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return out;
}

bool ParseInt(std::string_view s, int* value) {
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), *value);
  return error == std::errc() && end == s.data() + s.size();
}

// A BCP 47 tag as far as the lists need it: letters, digits and hyphens, subtags of 1..8.
bool IsLanguageTag(std::string_view tag) {
  if (tag.empty() || tag.size() > 35) return false;
  size_t run = 0;
  for (const char c : tag) {
    if (c == '-') {
      if (run == 0) return false;
      run = 0;
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      if (++run > 8) return false;
    } else {
      return false;
    }
  }
  return run > 0;
}

uint32_t Le(std::string_view b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
  return v;
}

}  // namespace

std::optional<CommandVoice> ParseCommandVoice(std::string_view text, std::u16string_view stem, std::string* error) {
  error->clear();
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  CommandVoice v;
  v.voice.engine = u"命令";
  std::string name, display, language, gender, command;
  int rate = 0;
  bool has_rate = false;
  int line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[') continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      *error = "line " + std::to_string(line_number) + ": not key = value";
      return std::nullopt;
    }
    const std::string key = Lower(Trim(line.substr(0, eq)));
    const std::string_view value = Trim(line.substr(eq + 1));
    if (key == "name") name = value;
    else if (key == "display") display = value;
    else if (key == "language") language = value;
    else if (key == "gender") gender = Lower(value);
    else if (key == "command") command = value;
    else if (key == "rate") {
      if (!ParseInt(value, &rate) || rate < 8000 || rate > 192000) {
        *error = "rate must be a sample rate from 8000 to 192000 Hz";
        return std::nullopt;
      }
      has_rate = true;
    } else if (key == "timeout") {
      if (!ParseInt(value, &v.timeout_seconds) || v.timeout_seconds < 1 || v.timeout_seconds > 600) {
        *error = "timeout must be 1 to 600 seconds";
        return std::nullopt;
      }
    } else {
      *error = "line " + std::to_string(line_number) + ": unknown key \"" + key + "\"";
      return std::nullopt;
    }
  }
  if (command.empty()) *error = "no command";
  else if (!has_rate) *error = "no rate";
  else if (!IsLanguageTag(language)) *error = "language must be a language tag such as en-US or cmn";
  else if (gender != "female" && gender != "male") *error = "gender must be female or male";
  if (!error->empty()) return std::nullopt;
  v.voice.name = name.empty() ? std::u16string(stem) : Utf8ToUtf16(name);
  v.voice.display_name = display.empty() ? v.voice.name : Utf8ToUtf16(display);
  if (v.voice.name.empty()) {
    *error = "no name";
    return std::nullopt;
  }
  v.voice.language = language;
  v.voice.gender = gender == "male" ? VoiceGender::kMale : VoiceGender::kFemale;
  v.voice.sample_rate = rate;
  v.command = command;
  return v;
}

std::string ExpandVoiceCommand(std::string_view command, int rate) {
  const double speed = 1.0 / SpeechDurationFactor(rate);
  const auto number = [](double value, int decimals) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(buffer, end) : std::string("1");
  };
  const std::pair<std::string_view, std::string> fills[] = {
      {"{speed}", number(speed, 3)}, {"{stretch}", number(1 / speed, 3)}, {"{wpm}", number(std::round(175 * speed), 0)}};
  std::string out;
  for (size_t i = 0; i < command.size();) {
    bool filled = false;
    for (const auto& [key, value] : fills) {
      if (command.substr(i, key.size()) == key) {
        out += value;
        i += key.size();
        filled = true;
        break;
      }
    }
    if (!filled) out += command[i++];
  }
  return out;
}

bool DecodeWav(std::string_view b, std::vector<int16_t>* samples, int* sample_rate, std::string* error) {
  samples->clear();
  if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "WAVE") {
    *error = "not a WAV file";
    return false;
  }
  int format = 0, channels = 0, bits = 0;
  size_t at = 12;
  while (at + 8 <= b.size()) {
    const std::string_view id = b.substr(at, 4);
    const uint32_t size = Le(b, at + 4, 4);
    const size_t body = at + 8;
    if (id == "fmt " && size >= 16 && body + 16 <= b.size()) {
      format = static_cast<int>(Le(b, body, 2));
      channels = static_cast<int>(Le(b, body + 2, 2));
      *sample_rate = static_cast<int>(Le(b, body + 4, 4));
      bits = static_cast<int>(Le(b, body + 14, 2));
      if (format == 0xFFFE && size >= 26 && body + 26 <= b.size()) format = static_cast<int>(Le(b, body + 24, 2));
    } else if (id == "data") {
      const bool pcm = format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
      const bool real = format == 3 && bits == 32;
      if ((!pcm && !real) || channels < 1 || channels > 16 || *sample_rate < 1000 || *sample_rate > 384000) {
        *error = "a WAV format that is not PCM";
        return false;
      }
      const size_t frame = static_cast<size_t>(channels) * static_cast<size_t>(bits / 8);
      // 0 or more than there is: written before the length was known.
      const size_t available = size == 0 ? b.size() - body : std::min<size_t>(size, b.size() - body);
      const size_t frames = available / frame;
      samples->reserve(frames);
      for (size_t f = 0; f < frames; ++f) {
        double sum = 0;
        for (int c = 0; c < channels; ++c) {
          const size_t p = body + f * frame + static_cast<size_t>(c) * static_cast<size_t>(bits / 8);
          double v = 0;
          if (real) {
            float x;
            const uint32_t raw = Le(b, p, 4);
            std::memcpy(&x, &raw, 4);
            v = std::isfinite(x) ? x : 0.0;
          } else if (bits == 8) {
            v = (static_cast<int>(Le(b, p, 1)) - 128) / 128.0;
          } else {
            const uint32_t raw = Le(b, p, bits / 8) << (32 - bits);
            v = static_cast<int32_t>(raw) / 2147483648.0;
          }
          sum += v;
        }
        const double mixed = std::clamp(sum / channels, -1.0, 1.0);
        samples->push_back(static_cast<int16_t>(std::lround(mixed * 32767)));
      }
      return true;
    }
    if (size > b.size() - body) break;
    at = body + size + (size & 1);
  }
  *error = "a WAV file without sound data";
  return false;
}

}  // namespace aurisona
