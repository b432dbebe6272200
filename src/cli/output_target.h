// Checks on the files and folders a command is asked to write.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/files/document_files.h"
#include "core/media/media_lists.h"
#include "core/script/compiler.h"

namespace aurisona::cli {

// True when `path` may be written by replacing it: it does not exist, or it
// is a regular file (symbolic links followed). Otherwise false with a reason.
bool CheckOutputTarget(const std::filesystem::path& path, std::string* why);

// True when `a` and `b` name the same file: through symbolic or hard links,
// or, for a file not yet there, the same place once links are resolved.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// One line naming the media records of a document that were not put into
// their folders, or "" when there are none.
std::string MediaProblemsLine(const std::vector<MediaProblem>& problems);

// Reports the clips and recordings the script's marks name that are in
// neither list, in one line on standard error. True when there are any.
bool ReportMissingMedia(const std::string& script, const std::vector<Segment>& segments, const MediaLists& lists,
                        std::string_view consequence = {});

}  // namespace aurisona::cli
