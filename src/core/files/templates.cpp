#include "core/files/templates.h"

#include <algorithm>
#include <system_error>

#include "core/script/tagged_text.h"
#include "core/util/text.h"

extern const unsigned char kTemplateNationalUtf8[];
extern const unsigned char kTemplateMiddleUtf8[];
extern const unsigned char kTemplateDictationUtf8[];

namespace aurisona {
namespace {

namespace fs = std::filesystem;

struct Bundled {
  const char* name;
  const char16_t* title;
  const char16_t* description;
  const unsigned char* text;
};

const Bundled kBundled[] = {
    {"national", u"高考英语听力（全国卷式）",
     u"两节：五段短对话各读一遍，每段后留十秒作答；三段长对话或独白各读两遍", kTemplateNationalUtf8},
    {"middle", u"中考英语听力", u"三部分：听句子选图、听对话答题、听短文答题，每段材料读两遍",
     kTemplateMiddleUtf8},
    {"dictation", u"英语听写", u"五个句子，每句读三遍，每遍之后留出书写时间", kTemplateDictationUtf8},
};

bool SameName(std::u16string_view a, std::u16string_view b) { return EqualsIgnoreAsciiCase(a, b); }

bool IsTemplateFile(const fs::directory_entry& entry) {
  std::error_code ec;
  if (!entry.is_regular_file(ec)) return false;
  const std::u16string name = entry.path().filename().u16string();
  if (name.empty() || name[0] == u'.') return false;
  return EndsWithIgnoreAsciiCase(name, u".lsn") || EndsWithIgnoreAsciiCase(name, u".txt");
}

}  // namespace

std::vector<DocumentTemplate> ListTemplates(const fs::path& folder) {
  std::vector<DocumentTemplate> list;
  for (const Bundled& b : kBundled) {
    list.push_back(DocumentTemplate{b.name, b.title, b.description, true, {}});
  }
  std::vector<DocumentTemplate> own;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!IsTemplateFile(*it)) continue;
    const fs::path& file = it->path();
    // A name the program would not have written (an unsafe one put there by
    // hand) is left out: it could not be saved over again.
    const std::u16string stem = file.stem().u16string();
    if (CheckTemplateName(stem) != TemplateNameProblem::kNone) continue;
    own.push_back(DocumentTemplate{file.stem().string(), stem, {}, false, file});
  }
  std::sort(own.begin(), own.end(), [](const DocumentTemplate& a, const DocumentTemplate& b) {
    return a.title != b.title ? a.title < b.title : a.file < b.file;
  });
  list.insert(list.end(), own.begin(), own.end());
  return list;
}

const DocumentTemplate* FindTemplate(const std::vector<DocumentTemplate>& templates, std::string_view name) {
  const std::u16string wanted = Utf8ToUtf16(name);
  for (const DocumentTemplate& t : templates) {
    if (SameName(Utf8ToUtf16(t.name), wanted) || SameName(t.title, wanted)) return &t;
  }
  return nullptr;
}

std::u16string BundledTemplateText(const DocumentTemplate& entry) {
  if (!entry.bundled) return {};
  for (const Bundled& b : kBundled) {
    if (entry.name == b.name) return Utf8ToUtf16(reinterpret_cast<const char*>(b.text));
  }
  return {};
}

OpenResult LoadTemplate(const DocumentTemplate& entry, ScriptDocument& doc, DocumentMedia& media) {
  if (!entry.bundled) return OpenDocument(entry.file, doc, media);
  const std::u16string text = BundledTemplateText(entry);
  OpenResult result;
  if (text.empty()) {
    result.status = OpenStatus::kCannotOpen;
    result.detail = "no bundled template " + entry.name;
    return result;
  }
  static const MediaLists kNoLists;
  doc.SetSelection(0, -1);
  doc.ClearMarks();
  TaggedTextReader(doc, media.lists != nullptr ? *media.lists : kNoLists, text, true, false);
  return result;
}

TemplateNameProblem CheckTemplateName(std::u16string_view name) {
  if (name.empty()) return TemplateNameProblem::kEmpty;
  if (name.size() > kMaxTemplateNameLength) return TemplateNameProblem::kTooLong;
  if (name[0] == u'.' || name.front() == u' ' || name.back() == u' ') return TemplateNameProblem::kBadCharacter;
  for (const char16_t c : name) {
    if (c < 0x20 || c == 0x7f || std::u16string_view(u"/\\:*?\"<>|").find(c) != std::u16string_view::npos) {
      return TemplateNameProblem::kBadCharacter;
    }
  }
  for (const Bundled& b : kBundled) {
    if (SameName(name, Utf8ToUtf16(b.name)) || SameName(name, b.title)) return TemplateNameProblem::kBundledName;
  }
  return TemplateNameProblem::kNone;
}

std::u16string_view TemplateNameMessage(TemplateNameProblem problem) {
  switch (problem) {
    case TemplateNameProblem::kNone: return u"";
    case TemplateNameProblem::kEmpty: return u"请输入模板的名称！";
    case TemplateNameProblem::kTooLong: return u"模板名称太长，请不要超过64个字！";
    case TemplateNameProblem::kBadCharacter:
      return u"模板名称不能以点或空格开头，也不能含有 / \\ : * ? \" < > | 等字符，请换一个名称！";
    case TemplateNameProblem::kBundledName: return u"这是程序自带模板的名称，请换一个名称！";
  }
  return u"";
}

fs::path OwnTemplatePath(const fs::path& folder, std::u16string_view name) {
  return folder / fs::path(std::u16string(name) + u".lsn");
}

SaveResult SaveTemplate(const fs::path& folder, std::u16string_view name, ScriptDocument& doc,
                        const DocumentMedia& media, const CompilerReport& report) {
  SaveResult result;
  if (const TemplateNameProblem problem = CheckTemplateName(name); problem != TemplateNameProblem::kNone) {
    result.detail = Utf16ToUtf8(TemplateNameMessage(problem));
    return result;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    result.detail = folder.string() + ": the templates folder cannot be made";
    return result;
  }
  return SaveListeningDocument(OwnTemplatePath(folder, name), doc, media, report);
}

std::vector<std::pair<int, int>> FindPlaceholders(std::u16string_view text) {
  std::vector<std::pair<int, int>> spans;
  size_t i = 0;
  while ((i = text.find(kPlaceholderOpen, i)) != std::u16string_view::npos) {
    size_t end = i + 1;
    while (end < text.size() && text[end] != kPlaceholderClose && text[end] != u'\r' && text[end] != u'\n' &&
           text[end] != u'\u2029') {
      ++end;
    }
    if (end < text.size() && text[end] == kPlaceholderClose) ++end;
    // "【】" holds nothing to replace: it only names the brackets.
    if (!(end == i + 2 && text[i + 1] == kPlaceholderClose)) spans.emplace_back(static_cast<int>(i), static_cast<int>(end));
    i = end;
  }
  return spans;
}

}  // namespace aurisona
