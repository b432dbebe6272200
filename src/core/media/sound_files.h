// Listing the sound files of a media folder, and the rules for media file names.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace aurisona {

// Fills `list` (emptied first) with the names of the entries of `folder` that
// are not directories (symbolic links followed) and end in ".wav" or ".mp3",
// ignoring case, in the order the file system returns them (not sorted).
// Names that are not valid UTF-8 are skipped: as UTF-16 they could not be
// turned back into the same file name. Names IsPlainFileName refuses are
// skipped too, so every listed name is one a document may carry. A missing or
// unreadable folder gives an empty list. Returns the list's size.
size_t ListSoundFiles(const std::filesystem::path& folder, std::vector<std::u16string>* list);

// True for a name that stays inside its folder and that a music or recording
// tag can carry: not empty, not "." or "..", not starting with "..", no '/',
// '\\', '>' or control character (line breaks and NUL included), and
// well-formed UTF-16. Media names read from documents, imported clips and
// recording names typed by users must pass it before they are joined to a
// media folder.
bool IsPlainFileName(std::u16string_view name);

// `folder` / `name` (name converted to UTF-8). Check the name with
// IsPlainFileName first.
std::filesystem::path MediaFilePath(const std::filesystem::path& folder, std::u16string_view name);

// The prompt-tone menu text of tone list entry `index` (from 0): the file name
// without its last four characters (the extension), then "(&1)".."(&9)" for the
// first nine entries and "(&A)", "(&B)", ... from the tenth. Past "(&Z)" (the
// 35th entry) no access key is added.
std::u16string ToneMenuLabel(int index, std::u16string_view fileName);

}  // namespace aurisona
