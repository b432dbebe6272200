// aurisona-speech: one speech worker (speech/worker_engine.h).
//
// Started by the program with its socket on descriptor 3 and the standard streams on
// /dev/null; ends when the program closes its end. `--data-dir DIR` names the data
// directory whose command voices it offers.
#include <cstring>

#include "core/speech/worker_engine.h"

int main(int argc, char** argv) {
  aurisona::SpeechEngineOptions options;
  if (argc == 3 && std::strcmp(argv[1], "--data-dir") == 0) {
    options.data_directory = argv[2];
  } else if (argc != 1) {
    return 2;
  }
  return aurisona::RunSpeechWorker(options);
}
