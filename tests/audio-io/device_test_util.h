// The device tests' shared pieces: the support library's fixtures, and whether
// this process is the child that runs without a sound server.
#pragma once

#include <gtest/gtest.h>

#include "support/files.h"
#include "support/process.h"
#include "support/sound_server.h"
#include "support/wav.h"

namespace aurisona::testing {

// True in the child process that runs without a sound server.
bool InNoServerChild();

}  // namespace aurisona::testing
