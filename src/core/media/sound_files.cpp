#include "core/media/sound_files.h"

#include <system_error>

#include "core/util/text.h"

namespace aurisona {

namespace fs = std::filesystem;

namespace {

constexpr std::u16string_view kSoundExtensions[] = {u".wav", u".mp3"};

bool IsSoundFileName(std::u16string_view name) {
  for (std::u16string_view ext : kSoundExtensions) {
    if (EndsWithIgnoreAsciiCase(name, ext)) return true;
  }
  return false;
}

}  // namespace

size_t ListSoundFiles(const fs::path& folder, std::vector<std::u16string>* list) {
  list->clear();
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return 0;
  while (it != fs::directory_iterator()) {
    std::error_code typeEc;
    const bool directory = it->is_directory(typeEc);
    const std::string raw = it->path().filename().native();
    if (!directory && IsValidUtf8(raw)) {
      std::u16string name = Utf8ToUtf16(raw);
      if (IsSoundFileName(name) && IsPlainFileName(name)) list->push_back(std::move(name));
    }
    it.increment(ec);
    if (ec) break;
  }
  return list->size();
}

bool IsPlainFileName(std::u16string_view name) {
  if (name.empty() || name == u"." || name == u".." || name.substr(0, 2) == u"..") return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (c == u'/' || c == u'\\' || c < 0x20 || c == 0x7F || c == u'>') return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= name.size() || name[i + 1] < 0xDC00 || name[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

fs::path MediaFilePath(const fs::path& folder, std::u16string_view name) {
  return folder / fs::path(Utf16ToUtf8(name));
}

std::u16string ToneMenuLabel(int index, std::u16string_view fileName) {
  std::u16string label(fileName.substr(0, fileName.size() >= 4 ? fileName.size() - 4 : 0));
  if (index >= 0 && index < 9) {
    label += u"(&";
    label += static_cast<char16_t>(u'1' + index);
    label += u')';
  } else if (index >= 9 && index < 9 + 26) {
    label += u"(&";
    label += static_cast<char16_t>(u'A' + (index - 9));
    label += u')';
  }
  return label;
}

}  // namespace aurisona
