#include "audio-io/device_test_util.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace aurisona::testing {
namespace {

// The sound server of this test run: the one PULSE_SERVER names when it has
// the null sink (started by CTest or scripts/test.sh), else a private one.
class SoundServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!InNoServerChild()) server_ = std::make_unique<PrivateSoundServer>();
  }
  void TearDown() override { server_.reset(); }

 private:
  std::unique_ptr<PrivateSoundServer> server_;
};

}  // namespace

bool InNoServerChild() {
  const char* value = std::getenv("AURISONA_NO_SERVER_CHILD");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace aurisona::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new aurisona::testing::SoundServerEnvironment);
  return RUN_ALL_TESTS();
}
