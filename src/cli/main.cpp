// aurisona-cli: the headless front end of the Aurisona core.
#include <cstdio>
#include <cstring>

#include "aurisona_version.h"
#include "cli.h"

namespace {

constexpr const char* kUsage =
    "usage: aurisona-cli COMMAND [ARGS] [--data-dir DIR]\n"
    "commands:\n"
    "  compile IN        print the segments of a script, one JSON object a line\n"
    "  convert IN OUT    open IN as the application does and save OUT by its ending\n"
    "  render IN -o OUT.mp3 [--quiet] [--threads N]\n"
    "                    voice the script and write one MP3 file\n"
    "  voices            the installed voices, one JSON object a line\n"
    "  play FILE [--play-time S] [--fade S]\n"
    "                    play a WAV or MP3 file on the sound output\n"
    "  record NAME --seconds S\n"
    "                    record NAME.wav into the Record folder from the sound input\n"
    "  --version         print the version\n";

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
};

constexpr Command kCommands[] = {
    {"compile", aurisona::cli::CompileCommand},
    {"convert", aurisona::cli::ConvertCommand},
    {"render", aurisona::cli::RenderCommand},
    {"voices", aurisona::cli::VoicesCommand},
    {"play", aurisona::cli::PlayCommand},
    {"record", aurisona::cli::RecordCommand},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("aurisona-cli %s\n", AURISONA_VERSION);
    return 0;
  }
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.name) == 0) return command.run(argc, argv);
  }
  std::fprintf(stderr, "aurisona-cli: unknown command %s\n%s", argv[1], kUsage);
  return 2;
}
