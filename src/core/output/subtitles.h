// Subtitle files for a rendered MP3: LRC (lyrics, one timed line per spoken
// sentence) and SRT (numbered cues with start and end), from its timeline.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/output/timeline.h"

namespace aurisona {

// "[ti:TITLE]" and one "[mm:ss.xx]sentence" line per spoken sentence, in
// order (every pass of a repeat), UTF-8 with LF line ends. Brackets in the
// text become full-width so no reader takes them for a time tag.
std::string LrcText(const Timeline& timeline, std::u16string_view title);

// Numbered cues "hh:mm:ss,mmm --> hh:mm:ss,mmm" with the sentence on one line.
// A cue ends where the sentence's sound ends, and never after the next begins.
std::string SrtText(const Timeline& timeline);

// NAME.lrc / NAME.srt beside `mp3` (its ending replaced), each written
// atomically. False with a reason when a file could not be written.
[[nodiscard]] bool WriteSubtitles(const std::filesystem::path& mp3, const Timeline& timeline, std::u16string_view title, bool lrc,
                    bool srt, std::string* error);

// The subtitle paths of an MP3 file.
std::filesystem::path LrcPathFor(const std::filesystem::path& mp3);
std::filesystem::path SrtPathFor(const std::filesystem::path& mp3);

}  // namespace aurisona
