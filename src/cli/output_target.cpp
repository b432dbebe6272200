#include "output_target.h"

#include "util/atomic_file.h"
#include "util/text.h"

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

}  // namespace aurisona::cli
