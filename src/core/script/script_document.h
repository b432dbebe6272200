// The operations through which tagged text and the compiler reach a script:
// the editor implements them on its text widget, MemoryScriptDocument in memory.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/script/marks.h"

namespace aurisona {

class ScriptDocument {
 public:
  virtual ~ScriptDocument() = default;

  // Length in UTF-16 units; each control mark counts one.
  virtual int Length() const = 0;
  // Plain text of [start, end); an end of -1 or past the length means the end.
  // Marks read as U+FFFC, paragraph breaks as CR.
  virtual std::u16string Text(int start, int end) const = 0;
  // The control mark record at a position, if a mark stands there.
  virtual std::optional<MarkRecord> MarkAt(int position) const = 0;

  virtual std::pair<int, int> Selection() const = 0;
  virtual void SetSelection(int start, int end) = 0;
  // Replaces the selection by the text; the caret ends after it. CR LF, LF and
  // CR each become one paragraph break. A U+FFFC in the text is no mark.
  virtual void ReplaceSelection(std::u16string_view text, bool undoable) = 0;
  // Appends the record to the record list and puts its mark at the selection,
  // replacing it; the caret ends after the mark.
  virtual void InsertMark(const MarkRecord& record, bool undoable) = 0;
  // Empties the record list (marks still in the text then point nowhere).
  virtual void ClearMarks() = 0;
  virtual void ScrollToTop() {}
};

}  // namespace aurisona
