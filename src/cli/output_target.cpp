#include "cli/output_target.h"

#include <cstdio>

#include "core/media/missing_media.h"
#include "core/util/atomic_file.h"
#include "core/util/text.h"

namespace aurisona::cli {

bool CheckOutputTarget(const std::filesystem::path& path, std::string* why) {
  const std::filesystem::path target = FollowSymlinks(path);
  if (target.empty()) {
    *why = path.string() + ": too many levels of symbolic links";
    return false;
  }
  std::error_code ec;
  const auto status = std::filesystem::status(target, ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    *why = path.string() + ": not a regular file; it is left as it is";
    return false;
  }
  return true;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  if (std::filesystem::exists(a, ec) && std::filesystem::exists(b, ec)) {
    const bool same = std::filesystem::equivalent(a, b, ec);
    if (!ec) return same;
  }
  const std::filesystem::path ca = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ec), ec);
  const std::filesystem::path cb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, ec), ec);
  return !ca.empty() && ca == cb;
}

std::string MediaProblemsLine(const std::vector<MediaProblem>& problems) {
  if (problems.empty()) return {};
  std::string line = Utf16ToUtf8(kMediaNotWrittenMessage);
  for (size_t k = 0; k < problems.size(); ++k) {
    if (k > 0) line += "; ";
    std::string name = Utf16ToUtf8(problems[k].name);
    // Control characters would break the one line.
    for (char& c : name) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    line += name + " (" + problems[k].reason + ")";
  }
  return line;
}

bool ReportMissingMedia(const std::string& script, const std::vector<Segment>& segments, const MediaLists& lists,
                        std::string_view consequence) {
  const std::vector<MissingMedia> missing = FindMissingMedia(segments, lists);
  if (missing.empty()) return false;
  std::fprintf(stderr, "aurisona-cli: %s: %s%s%.*s\n", script.c_str(), Utf16ToUtf8(kMediaMissingMessage).c_str(),
               MissingMediaNames(missing).c_str(), static_cast<int>(consequence.size()), consequence.data());
  return true;
}

}  // namespace aurisona::cli
