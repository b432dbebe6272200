#include "cli/cli.h"

#include <cstdio>
#include <cstdlib>

#include "core/media/bundled_media.h"
#include "core/util/text.h"

namespace aurisona::cli {

std::optional<std::string> Args::Option(const std::string& name) const {
  for (const auto& [key, value] : options) {
    if (key == name) return value;
  }
  return std::nullopt;
}

bool ParseArgs(int argc, char** argv, int first, const std::vector<std::string>& valued,
               const std::vector<std::string>& flags, Args* out, std::string* error) {
  auto contains = [](const std::vector<std::string>& list, const std::string& s) {
    for (const auto& x : list) {
      if (x == s) return true;
    }
    return false;
  };
  std::vector<std::string> valuedAll = valued;
  std::vector<std::string> flagsAll = flags;
  valuedAll.push_back("--data-dir");
  flagsAll.push_back("--quiet");
  bool onlyPositional = false;
  for (int i = first; i < argc; ++i) {
    std::string arg = argv[i];
    if (onlyPositional || arg.size() < 2 || arg[0] != '-') {
      out->positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyPositional = true;
      continue;
    }
    std::string value;
    const size_t eq = arg.find('=');
    const bool inlineValue = eq != std::string::npos;
    if (inlineValue) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
    }
    if (arg == "-o") arg = "--output";
    if (contains(valuedAll, arg)) {
      if (!inlineValue) {
        if (i + 1 >= argc) {
          *error = "option " + arg + " needs a value";
          return false;
        }
        value = argv[++i];
      }
      out->options.emplace_back(arg, value);
    } else if (contains(flagsAll, arg) && !inlineValue) {
      out->options.emplace_back(arg, "");
    } else {
      *error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

DataDirectory OpenDataDirectory(const Args& args) {
  const auto option = args.Option("--data-dir");
  if (option && option->empty()) {
    // An empty name would silently mean the usual data folder.
    Fail("--data-dir needs the name of a folder");
    std::exit(2);
  }
  DataDirectory dir = DataDirectory::Resolve(option ? std::filesystem::path(*option) : std::filesystem::path());
  InstallBundledMedia(dir, dir.EnsureMediaFolders());
  std::error_code ec;
  if (option && !std::filesystem::is_directory(dir.Music(), ec)) {
    Fail(*option + ": cannot be used as the data directory (not a folder, or its folders cannot be made)");
    std::exit(1);
  }
  return dir;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "aurisona-cli: %s\n", message.c_str());
  return 1;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "aurisona-cli: %s\n(aurisona-cli COMMAND --help shows how a command is used)\n",
               message.c_str());
  return kExitUsage;
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('"');
  return out;
}

std::string JsonString(std::u16string_view text) { return JsonString(Utf16ToUtf8(text)); }

}  // namespace aurisona::cli
