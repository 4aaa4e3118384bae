// Administrator and WinPE probes on Linux: root is the administrator, and there is no WinPE.
#include <unistd.h>

#include "base/startup_environment.h"

namespace tvde {

bool IsRunningAsAdmin() {
  return geteuid() == 0;
}

bool IsWinPEEnvironment() {
  return false;
}

void HardenProcessStart() {}

}  // namespace tvde
