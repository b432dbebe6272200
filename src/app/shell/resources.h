// The shell's compiled-in resources (skins, desktop files).
#pragma once

namespace aurisona::shell {

// Registers the resources; safe to call more than once. A static library's
// resources are not registered on their own.
void EnsureResources();

}  // namespace aurisona::shell
