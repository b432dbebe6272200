// Shared pieces of the command-line tool.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/files/document_files.h"
#include "core/media/data_directory.h"
#include "core/media/media_library.h"
#include "core/output/output_job.h"
#include "core/output/timeline.h"
#include "core/reading/reading_engine.h"
#include "core/script/memory_document.h"
#include "core/settings/settings_record.h"
#include "core/speech/composite_engine.h"

namespace aurisona::cli {

// The arguments of one command: positional ones and --name value options.
struct Args {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // "--x" -> value ("" for flags)
  std::optional<std::string> Option(const std::string& name) const;
  bool Flag(const std::string& name) const { return Option(name).has_value(); }
};

// Splits argv after the command. Options that take a value are listed in
// `valued`; an unknown option or a missing value is an error. The global
// options --data-dir DIR and --quiet are accepted by every command.
bool ParseArgs(int argc, char** argv, int first, const std::vector<std::string>& valued,
               const std::vector<std::string>& flags, Args* out, std::string* error);

// The data directory: --data-dir, else the usual one. Creates its folders.
DataDirectory OpenDataDirectory(const Args& args);

// Prints "aurisona-cli: MESSAGE" to standard error and returns 1.
int Fail(const std::string& message);

// Exit codes.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

// Prints "aurisona-cli: MESSAGE" and a hint to --help to standard error and returns 2.
int UsageError(const std::string& message);

// What render and timeline share: the script opened (its own media in a
// scratch folder), the settings with their voices, the job compiled.
class ScratchFolder;
struct RenderSetup {
  RenderSetup();
  ~RenderSetup();
  std::optional<MediaLibrary> library;
  std::unique_ptr<ScratchFolder> scratch;
  MemoryScriptDocument document;
  std::unique_ptr<ReadingSpeechEngine> speech;  // made by PrepareRender
  SettingsRecord record;
  OutputJob job;
};

// The data directory's readings dictionary; each line that cannot be taken is reported
// on standard error ("aurisona-cli: FILE:LINE: reason") and skipped.
std::shared_ptr<const ReadingDictionary> LoadReadings(const DataDirectory& directory);

// Opens `script` and prepares the job (without its output path). False after
// reporting the failure; *exitCode then holds the exit code.
bool PrepareRender(const Args& args, const std::string& script, RenderSetup* setup, int* exitCode);

// Runs the job with Ctrl+C stopping it, collecting its timeline.
OutputResult RunInterruptible(OutputJob job, SpeechEngine& speech, const OutputCallbacks& callbacks,
                              Timeline* timeline);

std::string JsonString(std::u16string_view text);
std::string JsonString(std::string_view utf8);

int CompileCommand(int argc, char** argv);
int ConvertCommand(int argc, char** argv);
// The data directory's media folders for opening a document into the library;
// clips' play times are remembered in setup.ini where they can be.
DocumentMedia LibraryMedia(MediaLibrary& library, bool writeMedia);

int RenderCommand(int argc, char** argv);
int TimelineCommand(int argc, char** argv);
int VoicesCommand(int argc, char** argv);
int SpokenCommand(int argc, char** argv);
int PlayCommand(int argc, char** argv);
int RecordCommand(int argc, char** argv);
int TemplatesCommand(int argc, char** argv);
int NewCommand(int argc, char** argv);
int CacheCommand(int argc, char** argv);

}  // namespace aurisona::cli
