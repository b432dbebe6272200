#include "shell/resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside of any namespace.
static void InitShellResources() { Q_INIT_RESOURCE(shell); }

namespace aurisona::shell {

void EnsureResources() {
  static const bool done = [] {
    InitShellResources();
    return true;
  }();
  (void)done;
}

}  // namespace aurisona::shell
