// A suite of aurisona-cli runs that share one data directory (making its
// bundled media takes a while), each test with a scratch folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/files.h"
#include "support/process.h"

namespace aurisona::testing {

class CliSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { shared_ = new TempDir; }
  static void TearDownTestSuite() {
    delete shared_;
    shared_ = nullptr;
  }
  static std::filesystem::path Data() { return *shared_ / "data"; }
  // aurisona-cli with `args` (a shell command line) and the shared data directory.
  CliRun Cli(const std::string& args) const { return RunCli(args + " --data-dir " + Data().string(), dir.path()); }
  // A file in the scratch folder.
  std::string P(const std::string& name) const { return (dir / name).string(); }

  TempDir dir;
  static inline TempDir* shared_ = nullptr;
};

}  // namespace aurisona::testing
