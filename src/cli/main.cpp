// aurisona-cli: the headless front end of the Aurisona core.
//
// Global options (--data-dir DIR, --quiet) may stand before or after the
// command. Usage and help go to standard output when asked for with --help,
// errors to standard error. Exit codes: 0 done, 1 failed, 2 usage error,
// 130 interrupted.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "aurisona_version.h"
#include "cli/cli.h"
#include "cli/standard_output.h"

namespace {

using aurisona::cli::kExitDone;
using aurisona::cli::kExitUsage;

constexpr const char* kGlobalHelp =
    "global options (before or after the command):\n"
    "  --data-dir DIR    the data folder (Music, Record, Sound, setup.ini) instead of\n"
    "                    ~/.local/share/aurisona; the first run creates its folders\n"
    "                    and puts the bundled prompt tones and music into them\n"
    "  --quiet           no progress or summary on standard error\n"
    "exit codes: 0 done, 1 failed, 2 usage error, 130 interrupted (Ctrl+C)\n";

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* usage;  // the arguments after the command name
  const char* help;   // what it does and its own options
  // The shape of its arguments, checked before it runs.
  std::vector<std::string> valued;
  std::vector<std::string> flags;
  size_t minPositional;
  size_t maxPositional;
  const char* required;  // an option it cannot do without, or nullptr
  bool soundDevice = false;  // plays or records: may reach the sound server
};

const Command kCommands[] = {
    {"compile", aurisona::cli::CompileCommand, "IN",
     "print the segments of a script (.txt or .lsn), one JSON object a line;\n"
     "compiler messages go to standard error\n",
     {}, {}, 1, 1, nullptr},
    {"spoken", aurisona::cli::SpokenCommand, "IN",
     "print how each sentence of a script will be read, one JSON object a line: the\n"
     "voice slot, the language (zh or en), the sentence as written and the words the\n"
     "speech engine is handed (after the readings dictionary and the number rules)\n",
     {}, {}, 1, 1, nullptr},
    {"convert", aurisona::cli::ConvertCommand, "IN OUT [--recover]",
     "open IN as the application does and save OUT by its ending (.lsn or .txt)\n"
     "  --recover   IN is a damaged listening document: keep what can be read (the\n"
     "              script text and every whole clip or recording), say on standard\n"
     "              error what was lost, and exit 0 when the script text was read\n",
     {}, {"--recover"}, 2, 2, nullptr},
    {"render", aurisona::cli::RenderCommand, "IN -o OUT.mp3 [--threads N] [--lrc] [--srt] [--no-cache]",
     "voice the script and write one MP3 file\n"
     "  -o, --output OUT.mp3  the MP3 to write (replaced only once complete)\n"
     "  --threads N           encoding threads, 1..64 (default: one per core)\n"
     "  --lrc                 also write OUT.lrc: one [mm:ss.xx] line per spoken sentence\n"
     "  --srt                 also write OUT.srt: numbered cues with start and end\n"
     "  --no-cache            make every piece, neither reading nor filling the piece cache\n"
     "A script that renders nothing is refused (exit 1) and no file is written.\n",
     {"--output", "--threads"}, {"--lrc", "--srt", "--no-cache"}, 1, 1, "--output"},
    {"timeline", aurisona::cli::TimelineCommand, "IN [--threads N] [--no-cache]",
     "print every piece the output would hold, one JSON object a line (kind, text or\n"
     "file, voice slot, pass of a repeat, start and length in the MP3 in seconds,\n"
     "MP3 frames, and for speech each sentence's start and end), then the total;\n"
     "speech is synthesised (or found in the piece cache), nothing is encoded or written\n",
     {"--threads"}, {"--no-cache"}, 1, 1, nullptr},
    {"templates", aurisona::cli::TemplatesCommand, "",
     "list the document templates, one JSON object a line: the bundled exam sections,\n"
     "then the teacher's own (the Templates folder of the data directory)\n",
     {}, {}, 0, 0, nullptr},
    {"new", aurisona::cli::NewCommand, "TEMPLATE OUT [--force]",
     "write a new document from a template (its name or title, as templates lists\n"
     "them), saved by the ending of OUT (.lsn or .txt)\n"
     "  --force   replace OUT when it exists (else it is left as it is)\n",
     {}, {"--force"}, 2, 2, nullptr},
    {"cache", aurisona::cli::CacheCommand, "[--clear]",
     "show the piece cache's folder, size, entries and limit (setup.ini key 缓存上限, MB)\n"
     "  --clear   remove every piece from it\n",
     {}, {"--clear"}, 0, 0, nullptr},
    {"voices", aurisona::cli::VoicesCommand, "", "list the installed voices, one JSON object a line\n",
     {}, {}, 0, 0, nullptr},
    {"play", aurisona::cli::PlayCommand, "FILE [--play-time S] [--fade S]",
     "play a WAV or MP3 file on the sound output\n"
     "  --play-time S   stop after S seconds (MP3)\n"
     "  --fade S        fade in and out over S seconds\n",
     {"--play-time", "--fade"}, {}, 1, 1, nullptr, true},
    {"record", aurisona::cli::RecordCommand, "NAME --seconds S",
     "record S seconds from the sound input into NAME.wav in the Record folder\n",
     {"--seconds"}, {}, 1, 1, "--seconds", true},
};

std::string Usage() {
  std::string text =
      "usage: aurisona-cli COMMAND [ARGS] [--data-dir DIR] [--quiet]\n"
      "       aurisona-cli COMMAND --help\n"
      "       aurisona-cli --version\ncommands:\n";
  for (const Command& c : kCommands) {
    char line[160];
    std::snprintf(line, sizeof line, "  %-9s %s\n", c.name, c.usage);
    text += line;
  }
  return text + kGlobalHelp;
}

std::string CommandHelp(const Command& c) {
  return std::string("usage: aurisona-cli ") + c.name + " " + c.usage + " [--data-dir DIR] [--quiet]\n" + c.help +
         kGlobalHelp;
}

// eSpeak NG sets up a sound output even to synthesise into memory, and its
// sound library connects to PulseAudio, which makes folders in $HOME and
// $TMPDIR and writes files there. Commands that play and record nothing
// point the client library at no server, no cookie and no runtime folder, so
// that it touches nothing.
void KeepAwayFromTheSoundServer() {
  setenv("PULSE_SERVER", "unix:/dev/null/none", 1);
  setenv("PULSE_COOKIE", "/dev/null", 1);
  setenv("PULSE_RUNTIME_PATH", "/dev/null/none", 1);
  setenv("PULSE_CLIENTCONFIG", "/dev/null", 1);
}

bool IsHelp(const char* arg) { return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0; }

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit (ulimit -f) makes a write fail like a full disk, with a
  // message and the temporary files removed, instead of killing the process.
  std::signal(SIGXFSZ, SIG_IGN);
  // Global options before the command move behind it, where every command
  // accepts them.
  std::vector<char*> globals;
  int at = 1;
  while (at < argc && argv[at][0] == '-' && !IsHelp(argv[at])) {
    const std::string arg = argv[at];
    if (arg == "--quiet" || arg.rfind("--data-dir=", 0) == 0) {
      globals.push_back(argv[at++]);
    } else if (arg == "--data-dir") {
      if (at + 1 >= argc) return aurisona::cli::UsageError("option --data-dir needs a value");
      globals.push_back(argv[at++]);
      globals.push_back(argv[at++]);
    } else {
      break;
    }
  }
  if (at >= argc) {
    std::fputs(Usage().c_str(), stderr);
    return kExitUsage;
  }
  if (IsHelp(argv[at])) {
    aurisona::cli::Out(Usage());
    return aurisona::cli::FinishOutput(kExitDone);
  }
  if (std::strcmp(argv[at], "--version") == 0) {
    aurisona::cli::Out(std::string("aurisona-cli ") + AURISONA_VERSION + "\n");
    return aurisona::cli::FinishOutput(kExitDone);
  }
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[at], command.name) != 0) continue;
    std::vector<char*> args = {argv[0], argv[at]};
    bool help = false;
    bool positionalOnly = false;
    for (int i = at + 1; i < argc; ++i) {
      if (std::strcmp(argv[i], "--") == 0) positionalOnly = true;
      if (!positionalOnly && IsHelp(argv[i])) help = true;
      args.push_back(argv[i]);
    }
    if (help) {
      aurisona::cli::Out(CommandHelp(command));
      return aurisona::cli::FinishOutput(kExitDone);
    }
    // Behind a "--" they would be taken for positional arguments.
    if (positionalOnly) {
      args.insert(args.begin() + 2, globals.begin(), globals.end());
    } else {
      args.insert(args.end(), globals.begin(), globals.end());
    }
    aurisona::cli::Args parsed;
    std::string error;
    if (!aurisona::cli::ParseArgs(static_cast<int>(args.size()), args.data(), 2, command.valued, command.flags,
                                  &parsed, &error)) {
      return aurisona::cli::UsageError(error);
    }
    if (parsed.positional.size() < command.minPositional || parsed.positional.size() > command.maxPositional ||
        (command.required && !parsed.Flag(command.required))) {
      return aurisona::cli::UsageError(std::string("usage: aurisona-cli ") + command.name + " " + command.usage);
    }
    args.push_back(nullptr);
    if (!command.soundDevice) KeepAwayFromTheSoundServer();
    // Whatever a command printed must have reached standard output.
    return aurisona::cli::FinishOutput(command.run(static_cast<int>(args.size() - 1), args.data()));
  }
  std::fprintf(stderr, "aurisona-cli: unknown command %s\n", argv[at]);
  std::fputs(Usage().c_str(), stderr);
  return kExitUsage;
}
