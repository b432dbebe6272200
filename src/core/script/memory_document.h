// A script document held in memory: a UTF-16 string and the positions of its
// control marks. Used by the command-line tool, the files and the tests.
#pragma once

#include <map>
#include <vector>

#include "core/script/script_document.h"

namespace aurisona {

class MemoryScriptDocument final : public ScriptDocument {
 public:
  int Length() const override { return static_cast<int>(text_.size()); }
  std::u16string Text(int start, int end) const override;
  std::optional<MarkRecord> MarkAt(int position) const override;
  std::pair<int, int> Selection() const override { return {selStart_, selEnd_}; }
  void SetSelection(int start, int end) override;
  void ReplaceSelection(std::u16string_view text, bool undoable) override;
  void InsertMark(const MarkRecord& record, bool undoable) override;
  void ClearMarks() override { records_.clear(); }

  const std::vector<MarkRecord>& Records() const { return records_; }
  // The record index of the mark at a position, or -1.
  int RecordIndexAt(int position) const;
  // Everything, for a fresh load: select all, then replace.
  void SelectAll() { SetSelection(0, -1); }

 private:
  // Replaces [start, end) by `text` (already normalised) and moves the marks.
  void Splice(int start, int end, std::u16string_view text);

  std::u16string text_;
  std::map<int, int> marks_;  // position -> record index
  std::vector<MarkRecord> records_;
  int selStart_ = 0;
  int selEnd_ = 0;
};

// CR LF, LF and lone CR each become one CR, as the editor stores paragraph breaks.
std::u16string NormalizeLineBreaks(std::u16string_view text);

}  // namespace aurisona
