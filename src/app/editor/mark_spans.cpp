#include "app/editor/mark_spans.h"

#include <algorithm>

namespace aurisona {
namespace {

bool IsRepeatEnd(int kind) { return kind == kMarkRepeatEnd || kind == kMarkAltRepeatEnd; }

// The kind of the mark at i, or -1.
int KindAt(const ScriptDocument& doc, const std::u16string& text, int i) {
  if (text[static_cast<size_t>(i)] != kMarkChar) return -1;
  const auto record = doc.MarkAt(i);
  return record ? record->kind : -1;
}

bool Within(const MarkSpan& span, int position) { return position >= span.begin && position <= span.end; }

}  // namespace

std::vector<MarkSpan> FindMarkSpans(const ScriptDocument& doc) {
  const std::u16string text = doc.Text(0, -1);
  const int length = static_cast<int>(text.size());
  std::vector<MarkSpan> spans;
  int openKind = -1;
  int openAt = 0;
  for (int i = 0; i < length; ++i) {
    const int kind = KindAt(doc, text, i);
    switch (kind) {
      case kMarkNoReadBegin:
        for (int j = i + 1; j < length; ++j) {
          if (KindAt(doc, text, j) != kMarkNoReadEnd) continue;
          spans.push_back({kMarkNoReadBegin, i, j, true});
          i = j;
          break;
        }
        break;
      case kMarkRepeatBegin:
      case kMarkAltRepeatBegin:
        if (openKind < 0) {
          openKind = kind;
          openAt = i;
        }
        break;
      case kMarkRepeatEnd:
      case kMarkAltRepeatEnd:
        if (openKind == kind - 1) {
          spans.push_back({openKind, openAt, i, true});
          openKind = -1;
        }
        break;
      default:
        break;
    }
  }
  if (openKind >= 0) spans.push_back({openKind, openAt, length, false});
  std::sort(spans.begin(), spans.end(), [](const MarkSpan& a, const MarkSpan& b) { return a.begin < b.begin; });
  return spans;
}

WrapPlan PlanWrap(const ScriptDocument& doc, int beginKind, int start, int end) {
  WrapPlan plan;
  const std::vector<MarkSpan> spans = FindMarkSpans(doc);
  const bool noRead = beginKind == kMarkNoReadBegin;

  // Ends that fall in a no-read span move out to its marks.
  for (const MarkSpan& span : spans) {
    if (span.beginKind != kMarkNoReadBegin) continue;
    if (start > span.begin && end <= span.end) {
      plan.verdict = WrapVerdict::kInsideNoRead;
      return plan;
    }
    if (start > span.begin && start <= span.end) start = span.begin;
    if (end > span.begin && end <= span.end) end = span.end + 1;
  }
  plan.start = start;
  plan.end = end;

  const auto inStretch = [&](int position) { return position >= start && position < end; };
  const auto hidden = [&](int position) {
    return std::any_of(spans.begin(), spans.end(), [&](const MarkSpan& span) {
      return span.beginKind == kMarkNoReadBegin && position > span.begin && position < span.end;
    });
  };
  for (const MarkSpan& span : spans) {
    if (span.beginKind == kMarkNoReadBegin) continue;
    if (!noRead) {
      if (span.begin < end && span.end >= start) {
        plan.verdict = span.closed ? WrapVerdict::kOverlapsRepeat : WrapVerdict::kAfterOpenRepeat;
        return plan;
      }
    } else if (span.closed && inStretch(span.begin) != inStretch(span.end)) {
      plan.verdict = WrapVerdict::kNoReadCrossesRepeat;
      return plan;
    }
  }

  const std::u16string text = doc.Text(0, -1);
  for (int i = 0; i < end && i < static_cast<int>(text.size()); ++i) {
    const int kind = KindAt(doc, text, i);
    if (noRead) {
      if (kind == kMarkNoReadBegin && i < start && !hidden(i) &&
          std::none_of(spans.begin(), spans.end(), [&](const MarkSpan& s) { return s.begin == i; })) {
        plan.verdict = WrapVerdict::kAfterOpenNoRead;
        return plan;
      }
      if ((kind == kMarkNoReadBegin || kind == kMarkNoReadEnd) && inStretch(i)) plan.removals.push_back(i);
    } else if (IsRepeatEnd(kind) && inStretch(i) && !hidden(i) &&
               std::none_of(spans.begin(), spans.end(), [&](const MarkSpan& s) { return Within(s, i) && s.end == i; })) {
      plan.removals.push_back(i);
    }
  }
  return plan;
}

}  // namespace aurisona
