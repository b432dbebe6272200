// For benches that play through the sound device: without a sound server of
// the tests' kind (scripts/pulse-null-sink.sh), a private one with a null sink
// is started for the run and stopped again at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace aurisona::bench {

class PrivateSoundServer {
 public:
  PrivateSoundServer() {
    if (std::system(("bash '" + script_ + "' check").c_str()) == 0) return;
    char dir[] = "/tmp/aurisona-pulse-XXXXXX";
    if (mkdtemp(dir) == nullptr) return;
    if (std::system(("bash '" + script_ + "' start '" + std::string(dir) + "' >/dev/null").c_str()) != 0) return;
    started_ = dir;
    setenv("PULSE_SERVER", ("unix:" + started_ + "/native").c_str(), 1);
  }
  ~PrivateSoundServer() {
    if (started_.empty()) return;
    if (std::system(("bash '" + script_ + "' stop '" + started_ + "'").c_str()) == 0) {
      std::error_code ec;
      std::filesystem::remove_all(started_, ec);
    }
  }
  PrivateSoundServer(const PrivateSoundServer&) = delete;
  PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

 private:
  const std::string script_ = std::string(AURISONA_SOURCE_DIR) + "/scripts/pulse-null-sink.sh";
  std::string started_;
};

}  // namespace aurisona::bench
