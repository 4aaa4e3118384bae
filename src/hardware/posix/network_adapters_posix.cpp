// Network adapters of a Linux machine from sysfs.
#include "hardware/network_adapters.h"
#include "hardware/posix/hardware_sources_posix.h"

namespace tvde {

std::wstring CollectNetworkAdapters() {
  return ComposeNetworkAdapters(ReadSysfsNetworkAdapters("/sys/class/net"), {});
}

}  // namespace tvde
