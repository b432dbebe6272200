// The core tests' helpers live in the shared support library.
#pragma once

#include "support/files.h"
#include "support/process.h"
