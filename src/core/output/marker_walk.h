// The walk over a compiled segment list that output and preview share:
// repeats send the walk back to the start of their span until their count is
// used up, alternating repeats swap male and female voices on every second
// pass, no-read spans and repeat begins are stepped over.
#pragma once

#include <cstddef>
#include <vector>

#include "core/script/compiler.h"

namespace aurisona {

class MarkerWalk {
 public:
  // The walk changes the list as it goes (counts used up, voices swapped).
  explicit MarkerWalk(std::vector<Segment>& segments) : segments_(segments) {}
  // A walk whose first Next() starts at record `start` (preview from the caret).
  MarkerWalk(std::vector<Segment>& segments, size_t start) : segments_(segments), index_(start) {}

  // Moves to the next record to voice or play. Nullptr when the list is done.
  Segment* Next();

  // Index of the record Next() returned last.
  size_t index() const { return index_; }

 private:
  // Walks the markers at index_; false when the walk passes the last record.
  bool WalkMarkers();

  std::vector<Segment>& segments_;
  size_t index_ = 0;
  bool started_ = false;
};

// The voice a swapped pass uses: male and female trade places within a set.
int32_t SwappedVoice(int32_t voice);

}  // namespace aurisona
