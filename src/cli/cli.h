// Shared pieces of the command-line tool.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "media/data_directory.h"

namespace aurisona::cli {

// The arguments of one command: positional ones and --name value options.
struct Args {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // "--x" -> value ("" for flags)
  std::optional<std::string> Option(const std::string& name) const;
  bool Flag(const std::string& name) const { return Option(name).has_value(); }
};

// Splits argv after the command. Options that take a value are listed in
// `valued`; an unknown option or a missing value is an error.
bool ParseArgs(int argc, char** argv, int first, const std::vector<std::string>& valued,
               const std::vector<std::string>& flags, Args* out, std::string* error);

// The data directory: --data-dir, else the usual one. Creates its folders.
DataDirectory OpenDataDirectory(const Args& args);

// Prints "aurisona-cli: MESSAGE" to standard error and returns 1.
int Fail(const std::string& message);

std::string JsonString(std::u16string_view text);
std::string JsonString(std::string_view utf8);

int CompileCommand(int argc, char** argv);
int ConvertCommand(int argc, char** argv);
int RenderCommand(int argc, char** argv);
int VoicesCommand(int argc, char** argv);
int PlayCommand(int argc, char** argv);
int RecordCommand(int argc, char** argv);

}  // namespace aurisona::cli
