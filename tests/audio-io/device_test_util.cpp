#include "audio-io/device_test_util.h"

#include <optional>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The sound server of this test run: the one PULSE_SERVER names when it has
  // the null sink (started by CTest or scripts/test.sh), else a private one.
  std::optional<aurisona::testing::PrivateSoundServer> server;
  if (!aurisona::testing::InNoServerChild()) server.emplace();
  return RUN_ALL_TESTS();
}
