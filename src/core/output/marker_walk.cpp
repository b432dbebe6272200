#include "core/output/marker_walk.h"

namespace aurisona {

int32_t SwappedVoice(int32_t voice) {
  switch (voice) {
    case 0: return 1;
    case 1: return 0;
    case 2: return 3;
    case 3: return 2;
    default: return voice;
  }
}

bool MarkerWalk::WalkMarkers() {
  const size_t n = segments_.size();
  auto skipWhile = [&](auto predicate) {
    while (index_ < n && predicate(segments_[index_].kind)) ++index_;
    return index_ < n;
  };
  if (index_ >= n) return false;
  if (segments_[index_].kind == kSegNoReadBegin) {
    if (!skipWhile([](int32_t k) { return k == kSegNoReadBegin || k == kSegNoReadEnd; })) return false;
  }
  Segment& r = segments_[index_];
  switch (r.kind) {
    case kSegRepeatBegin:
    case kSegAltRepeatBegin:
      return skipWhile([](int32_t k) { return k >= kSegRepeatBegin && k <= kSegAltRepeatEnd; });
    case kSegRepeatEnd:
    case kSegAltRepeatEnd: {
      if (r.RepeatCount() < 2) {
        ++index_;
        return index_ < n;
      }
      --r.param;
      const int32_t begin = r.kind == kSegRepeatEnd ? kSegRepeatBegin : kSegAltRepeatBegin;
      const bool swap = r.kind == kSegAltRepeatEnd;
      size_t j = index_;
      while (j > 0) {
        --j;
        if (segments_[j].kind == begin) break;
        // Only speech changes voice; other records keep their param.
        if (swap && segments_[j].kind == kSegSpeech) segments_[j].param = SwappedVoice(segments_[j].SentenceVoice());
      }
      // The compiler puts every end behind its begin; j is that begin.
      index_ = j + 1;
      return index_ < n;
    }
    default:
      return true;
  }
}

Segment* MarkerWalk::Next() {
  if (started_) ++index_;
  started_ = true;
  if (!WalkMarkers()) {
    index_ = segments_.size();
    return nullptr;
  }
  return &segments_[index_];
}

}  // namespace aurisona
