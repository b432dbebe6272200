// Tagged text: a script with every control mark written as its tag, such as
// "<男>" or "<暂停5秒>". It is the clipboard form and the text of the files.
#pragma once

#include <string>
#include <string_view>

#include "core/media/media_lists.h"
#include "core/script/script_document.h"

namespace aurisona {

// The tag of one mark. A music or recording mark for a name in neither list
// writes that name; other indices outside their list are taken as 0; an empty
// list writes "<音乐>" / "<录音>".
std::u16string TagFor(const MarkRecord& record, const MediaLists& media);

// Writes [start, end) of the document as tagged text. An end of -1 or past the
// length means the end of the document. Paragraph breaks stay CR.
std::u16string TaggedTextWriter(const ScriptDocument& doc, const MediaLists& media, int start,
                                int end);

// Inserts tagged text at the document's selection, turning every recognised
// tag into a control mark. Text that is no tag stays text. A music or
// recording tag naming a file in neither list keeps its name (it is added to
// the lists' missing names).
void TaggedTextReader(ScriptDocument& doc, const MediaLists& media, std::u16string_view text,
                      bool scrollToTop, bool undoable);

}  // namespace aurisona
