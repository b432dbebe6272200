// Checks on the files and folders a command is asked to write.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "files/document_files.h"

namespace aurisona::cli {

// True when `path` may be written by replacing it: it does not exist, or it
// is a regular file (symbolic links followed). Otherwise false with a reason.
bool CheckOutputTarget(const std::filesystem::path& path, std::string* why);

// One line naming the media records of a document that were not put into
// their folders, or "" when there are none.
std::string MediaProblemsLine(const std::vector<MediaProblem>& problems);

}  // namespace aurisona::cli
