#include "audio-io/device_test_util.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace aurisona::testing {

namespace {

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Starts `argv` with stdout and stderr to the given files. -1 on failure.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            const std::filesystem::path& out, const std::filesystem::path& err) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& extra : extraEnv) {
      if (entry.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0) replaced = true;
    }
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The sound server of this test run: the one PULSE_SERVER names when it has
// the null sink (started by CTest or scripts/test.sh), else a private one.
class SoundServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (InNoServerChild()) return;
    const std::string script = std::string(AURISONA_SOURCE_DIR) + "/scripts/pulse-null-sink.sh";
    if (std::system(("bash '" + script + "' check").c_str()) == 0) return;
    char dir[] = "/tmp/aurisona-pulse-XXXXXX";
    if (mkdtemp(dir) == nullptr) return;
    dir_ = dir;
    if (std::system(("bash '" + script + "' start '" + dir_ + "' >/dev/null").c_str()) == 0) {
      setenv("PULSE_SERVER", ("unix:" + dir_ + "/native").c_str(), 1);
    }
  }
  void TearDown() override {
    if (dir_.empty()) return;
    const std::string script = std::string(AURISONA_SOURCE_DIR) + "/scripts/pulse-null-sink.sh";
    if (std::system(("bash '" + script + "' stop '" + dir_ + "'").c_str()) != 0) return;
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

 private:
  std::string dir_;
};

}  // namespace

bool InNoServerChild() {
  const char* value = std::getenv("AURISONA_NO_SERVER_CHILD");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

ChildRun RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                  const std::filesystem::path& scratch, std::chrono::seconds timeout) {
  ChildRun run;
  const auto out = scratch / "child-out.txt";
  const auto err = scratch / "child-err.txt";
  const pid_t pid = Spawn(argv, extraEnv, out, err);
  if (pid < 0) return run;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      run.err = "timed out\n";
      return run;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = Slurp(out);
  run.err = Slurp(err);
  return run;
}

MonitorRecording::MonitorRecording(const std::filesystem::path& scratch, int latencyMs)
    : file_(scratch / "monitor.raw") {
  std::vector<std::string> argv = {"parec", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                                   "--device=aurisona_null.monitor"};
  if (latencyMs > 0) argv.push_back("--latency-msec=" + std::to_string(latencyMs));
  pid_ = Spawn(argv, {}, file_, scratch / "parec-err.txt");
  // The monitor is running once sound (silence) arrives.
  started_ = pid_ > 0 && WaitUntil([this] { return Size() >= 4410 * 4; }, std::chrono::seconds(10));
}

MonitorRecording::~MonitorRecording() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

size_t MonitorRecording::Size() const {
  std::error_code ec;
  const auto size = std::filesystem::file_size(file_, ec);
  return ec ? 0 : static_cast<size_t>(size);
}

std::vector<int16_t> MonitorRecording::Finish(std::chrono::milliseconds tail) {
  const size_t until = Size() + size_t(tail.count()) * kSinkRate / 1000 * 4;
  WaitUntil([&] { return Size() >= until; }, tail * 10);
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  const std::string bytes = Slurp(file_);
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

std::vector<int16_t> Pattern(size_t frames, size_t first) {
  std::vector<int16_t> out(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    out[2 * i] = static_cast<int16_t>(1000 + (first + i) % 500);
    out[2 * i + 1] = static_cast<int16_t>(-2000 - static_cast<int>((first + i) % 300));
  }
  return out;
}

int PatternIndex(int16_t left, int16_t right) {
  const int a = left - 1000;
  const int b = -2000 - right;
  if (a < 0 || a >= 500 || b < 0 || b >= 300) return -1;
  for (int k = 0; k < 3; ++k) {
    if ((a + 500 * k) % 300 == b) return a + 500 * k;
  }
  return -1;
}

std::vector<std::pair<int16_t, int16_t>> SoundingFrames(const std::vector<int16_t>& stereo) {
  std::vector<std::pair<int16_t, int16_t>> frames;
  for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
    if (stereo[i] != 0 || stereo[i + 1] != 0) frames.emplace_back(stereo[i], stereo[i + 1]);
  }
  return frames;
}

::testing::AssertionResult IsPatternRun(const std::vector<std::pair<int16_t, int16_t>>& frames, size_t count) {
  if (frames.size() != count) {
    return ::testing::AssertionFailure() << frames.size() << " frames sounded, expected " << count;
  }
  for (size_t i = 0; i < frames.size(); ++i) {
    const int index = PatternIndex(frames[i].first, frames[i].second);
    if (index != int(i % 1500)) {
      return ::testing::AssertionFailure() << "frame " << i << " is pattern frame " << index;
    }
  }
  return ::testing::AssertionSuccess();
}

std::string WavBytes(const std::vector<int16_t>& samples, int channels, int rate) {
  const auto le = [](std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  le(out, 36 + data, 4);
  out += "WAVEfmt ";
  le(out, 16, 4);
  le(out, 1, 2);
  le(out, uint32_t(channels), 2);
  le(out, uint32_t(rate), 4);
  le(out, uint32_t(rate * channels * 2), 4);
  le(out, uint32_t(channels * 2), 2);
  le(out, 16, 2);
  out += "data";
  le(out, data, 4);
  out.append(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
  return out;
}

void WriteWav(const std::filesystem::path& path, const std::vector<int16_t>& samples, int channels, int rate) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << WavBytes(samples, channels, rate);
}

std::string SinkKind() {
  const char* kind = std::getenv("AURISONA_SINK_KIND");
  return kind != nullptr && *kind != 0 ? kind : "norewinds";
}

std::vector<SoundRun> SoundRuns(const std::vector<int16_t>& stereo, int threshold, double bridge) {
  std::vector<SoundRun> runs;
  const size_t bridgeFrames = size_t(bridge * kSinkRate / 1000);
  size_t first = 0, last = 0;
  bool open = false;
  for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
    if (std::abs(stereo[i]) <= threshold && std::abs(stereo[i + 1]) <= threshold) continue;
    const size_t frame = i / 2;
    if (open && frame - last > bridgeFrames) {
      runs.push_back({first * 1000.0 / kSinkRate, (last + 1) * 1000.0 / kSinkRate});
      open = false;
    }
    if (!open) first = frame;
    open = true;
    last = frame;
  }
  if (open) runs.push_back({first * 1000.0 / kSinkRate, (last + 1) * 1000.0 / kSinkRate});
  return runs;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace aurisona::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new aurisona::testing::SoundServerEnvironment);
  return RUN_ALL_TESTS();
}
