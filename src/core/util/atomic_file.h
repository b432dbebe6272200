// Whole-file writes that replace the target only once the new content is complete.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace aurisona {

// Writes the bytes to a temporary file beside `path`, flushes it to disk and
// renames it over `path`. On any failure the temporary file is removed, the old
// file stays as it was, and false is returned with a reason in *error.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error = nullptr);

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::filesystem::path& path, std::string* bytes);

}  // namespace aurisona
