// Linked into every test program (not the benches): each test gets a piece
// cache of its own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>

#include "support/files.h"

namespace aurisona::testing {
namespace {

// Every test starts with an empty piece cache of its own ($XDG_CACHE_HOME, inherited
// by the command-line tool a test starts): no test finds another's or the user's pieces.
class FreshCacheListener final : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    dir_ = std::make_unique<TempDir>();
    setenv("XDG_CACHE_HOME", dir_->path().c_str(), 1);
  }
  void OnTestEnd(const ::testing::TestInfo&) override { dir_.reset(); }
  std::unique_ptr<TempDir> dir_;
};

[[maybe_unused]] const bool kFreshCacheListener = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshCacheListener);
  return true;
}();

}  // namespace

}  // namespace aurisona::testing
