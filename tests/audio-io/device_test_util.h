// The device tests' shared pieces: the support library's fixtures, a fixture
// with a scratch folder, a counter of playback ends, and whether this process
// is the child that runs without a sound server.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "audio-io/sound_file_player.h"
#include "support/files.h"
#include "support/process.h"
#include "support/sound_server.h"
#include "support/wav.h"

namespace aurisona::testing {

// True in the child process that runs without a sound server.
inline bool InNoServerChild() { return std::getenv("AURISONA_NO_SERVER_CHILD") != nullptr; }

// A device test with a scratch folder of its own.
class DeviceTest : public ::testing::Test {
 protected:
  // A WAV file of `samples` in the scratch folder.
  std::filesystem::path Wav(const std::string& name, const std::vector<int16_t>& samples, int rate = kSinkRate,
                            int channels = 2) {
    WriteWav(dir_ / name, samples, rate, channels);
    return dir_ / name;
  }
  // aurisona-cli run to its end in the scratch folder, with `env` added.
  CliRun Cli(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), AURISONA_CLI_PATH);
    return RunChild(args, env, dir_.path());
  }
  TempDir dir_;
};

// Counts a player's completions and remembers the last.
struct Completions {
  std::atomic<int> count{0};
  std::atomic<PlaybackEnd> last{PlaybackEnd::kPlayed};
  PlaybackCompletion Callback() {
    return [this](PlaybackEnd end) {
      last = end;
      ++count;
    };
  }
  // Waits for the next completion after the `seen` first.
  bool Wait(int seen = 0) { return WaitUntil([&] { return count > seen; }, std::chrono::seconds(10)); }
};

}  // namespace aurisona::testing
