// Document templates: the exam sections that ship with the program and the
// teacher's own, kept as listening documents in the data directory's
// Templates folder. Placeholders in a template are written in 【…】 brackets.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/document_files.h"
#include "core/script/script_document.h"

namespace aurisona {

inline constexpr char16_t kPlaceholderOpen = u'【';
inline constexpr char16_t kPlaceholderClose = u'】';
inline constexpr size_t kMaxTemplateNameLength = 64;  // UTF-16 units

struct DocumentTemplate {
  std::string name;           // what `aurisona-cli new` takes (UTF-8)
  std::u16string title;       // what the list shows
  std::u16string description; // one line; empty for the teacher's own
  bool bundled = false;
  std::filesystem::path file;  // the teacher's own: the document it is kept in
};

// The bundled templates first, in their fixed order, then the teacher's own
// from `folder` (regular .lsn and .txt files, hidden ones left out), by name.
std::vector<DocumentTemplate> ListTemplates(const std::filesystem::path& folder);

// The template called `name`: its name or its title, ASCII case ignored.
// nullptr when there is none.
const DocumentTemplate* FindTemplate(const std::vector<DocumentTemplate>& templates, std::string_view name);

// The tagged text of a bundled template; empty for any other.
std::u16string BundledTemplateText(const DocumentTemplate& entry);

// Loads a template into the document as opening a document does (the marks
// cleared, the text replaced; a listening document's media put into the
// folders of `media`).
OpenResult LoadTemplate(const DocumentTemplate& entry, ScriptDocument& doc, DocumentMedia& media);

enum class TemplateNameProblem { kNone, kEmpty, kTooLong, kBadCharacter, kBundledName };

// Whether `name` (blanks around it already trimmed) may name a template of
// the teacher's: a file name only, not hidden, no characters other systems
// refuse, not the name of a bundled template.
TemplateNameProblem CheckTemplateName(std::u16string_view name);
// The message for a name that may not be used.
std::u16string_view TemplateNameMessage(TemplateNameProblem problem);

// The file a template of the teacher's called `name` is kept in.
std::filesystem::path OwnTemplatePath(const std::filesystem::path& folder, std::u16string_view name);

// Saves the document as the teacher's template `name` into `folder` (made when
// missing), as a listening document that carries its clips and recordings.
// An existing template of that name is replaced, only once the new one is
// complete. The name is checked first (detail says why it was refused).
SaveResult SaveTemplate(const std::filesystem::path& folder, std::u16string_view name, ScriptDocument& doc,
                        const DocumentMedia& media, const CompilerReport& report = {});

// The placeholders of a text: [start, end) of every 【…】 span (an open bracket
// without its close runs to the end of its line; an empty 【】 is none).
std::vector<std::pair<int, int>> FindPlaceholders(std::u16string_view text);

}  // namespace aurisona
