// Standard output, checked: what a command prints goes through Out(), and
// main() ends every command, help and --version with FinishOutput(), so a
// write that fails (a full disk, /dev/full, a closed descriptor) is an error
// and not a success.
#pragma once

#include <string_view>

namespace aurisona::cli {

// Writes `text` to standard output. False once any write has failed; nothing
// more is written then.
bool Out(std::string_view text);

// Flushes standard output. When a write or the flush failed, prints one line
// on standard error and returns 1 (a failure the command reported already
// keeps its own code); otherwise returns `code`.
int FinishOutput(int code);

}  // namespace aurisona::cli
