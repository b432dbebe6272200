// Sounds of known length played one after another, as heard at a monitor: the
// runs of sound found there (start and end in milliseconds) matched to the
// sounds. Two sounds whose gap is shorter than the bridge that holds a run
// together fall into one run; the gap between them is then what the run holds
// beyond their lengths.
#pragma once

#include <cmath>
#include <utility>
#include <vector>

namespace aurisona::testing {

struct HeardSounds {
  bool matched = false;
  std::vector<double> gaps;     // before each sound after the first
  std::vector<double> lengths;  // of each sound; NAN when it shares its run
};

inline HeardSounds MatchSounds(const std::vector<std::pair<double, double>>& runs, const std::vector<double>& lengths) {
  HeardSounds heard;
  size_t next = 0;
  for (size_t r = 0; r < runs.size(); ++r) {
    if (next >= lengths.size()) return {};
    const double length = runs[r].second - runs[r].first;
    if (r > 0) heard.gaps.push_back(runs[r].first - runs[r - 1].second);
    // The run holds as many sounds as its length takes.
    double sum = lengths[next];
    size_t count = 1;
    while (next + count < lengths.size() && length - sum > lengths[next + count] / 2) sum += lengths[next + count++];
    if (count == 1) {
      heard.lengths.push_back(length);
    } else {
      for (size_t k = 1; k < count; ++k) heard.gaps.push_back((length - sum) / double(count - 1));
      heard.lengths.insert(heard.lengths.end(), count, NAN);
    }
    next += count;
  }
  heard.matched = next == lengths.size();
  return heard;
}

}  // namespace aurisona::testing
