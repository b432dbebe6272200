// The repeat and no-read spans of a script as the compiler pairs them, and
// where a new pair of marks around a selection may go so that it pairs as
// written: repeats never nest nor cross, a no-read span never crosses a
// repeat, and nothing is wrapped inside a stretch that is not read.
#pragma once

#include <vector>

#include "core/script/script_document.h"

namespace aurisona {

struct MarkSpan {
  int beginKind = 0;  // kMarkNoReadBegin, kMarkRepeatBegin or kMarkAltRepeatBegin
  int begin = 0;      // position of the begin mark
  int end = 0;        // position of the end mark; the document's length when it has none
  bool closed = true;
};

// The spans in document order. A no-read begin pairs with the next no-read
// end and hides everything up to it; a repeat begin met while another repeat
// is open, and an end without its begin, pair with nothing. A repeat begin
// whose end never comes is a span open to the end.
std::vector<MarkSpan> FindMarkSpans(const ScriptDocument& doc);

enum class WrapVerdict {
  kOk,
  kInsideNoRead,          // the whole selection lies in a no-read span
  kOverlapsRepeat,        // a repeat would nest in or cross another
  kAfterOpenRepeat,       // ... one whose end never comes
  kNoReadCrossesRepeat,   // a no-read span would cut a repeat in two
  kAfterOpenNoRead,       // a no-read begin without end before the selection would take the new end
};

struct WrapPlan {
  WrapVerdict verdict = WrapVerdict::kOk;
  // The stretch to wrap: the selection, widened over every no-read span one of
  // its ends falls in (that text is not read, so the widening changes nothing
  // that is heard).
  int start = 0;
  int end = 0;
  // Marks to remove first, ascending: for a no-read span, the no-read marks in
  // the stretch (spans it swallows whole, marks that pair with nothing); for a
  // repeat, repeat ends in it that pair with nothing (they would end it early).
  std::vector<int> removals;
};

// Where the pair beginning with `beginKind` goes around [start, end).
WrapPlan PlanWrap(const ScriptDocument& doc, int beginKind, int start, int end);

}  // namespace aurisona
