// A listener's stand-in for English speech: pocketsphinx (US English model) transcribes a
// 16 kHz mono WAV file, and the word error rate says how far what it heard is from what
// was meant. Shared by the intelligibility tests and the reading bench.
#pragma once

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"

namespace aurisona::testing {

// Lower-case words; anything but letters, digits and apostrophes separates them.
inline std::vector<std::string> Words(const std::string& text) {
  std::string clean;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    clean += (std::isalnum(u) || c == '\'') ? static_cast<char>(std::tolower(u)) : ' ';
  }
  std::istringstream in(clean);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Word edit distance (substitutions, insertions, deletions) over the reference's length.
inline double WordErrorRate(const std::vector<std::string>& ref, const std::vector<std::string>& hyp) {
  std::vector<size_t> row(hyp.size() + 1);
  for (size_t j = 0; j <= hyp.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= ref.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= hyp.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (ref[i - 1] == hyp[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return ref.empty() ? 0.0 : static_cast<double>(row[hyp.size()]) / static_cast<double>(ref.size());
}

inline bool HaveRecogniser() { return std::system("command -v pocketsphinx_continuous >/dev/null") == 0; }

// What pocketsphinx hears in a 16 kHz mono WAV file.
inline std::string Transcribe(const std::filesystem::path& wav) {
  return Shell("pocketsphinx_continuous -infile '" + wav.string() + "' -logfn /dev/null 2>/dev/null");
}

}  // namespace aurisona::testing
