// Measures one overwrite pass of the erase engine on a target file or device (a benchmark,
// never run by the tests). Usage: tvde_erase_bench TARGET SIZE_MIB zero|pattern|random
// Prints: "<kind> <bytes> <seconds> <MiB/s>".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/device.h"
#include "base/text.h"
#include "erase/overwrite_pass.h"

int main(int argc, char** argv) {
  using namespace tvde;
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s TARGET SIZE_MIB zero|pattern|random\n", argv[0]);
    return 2;
  }
  const std::string kind = argv[3];
  PassSpec pass{1, PassKind::FixedByte, {0x00, 0, 0}, L"bench"};
  if (kind == "pattern") {
    pass.kind = PassKind::ThreeBytePattern;
    pass.pattern = {0x92, 0x49, 0x24};
  } else if (kind == "random") {
    pass.kind = PassKind::Random;
  } else if (kind != "zero") {
    std::fprintf(stderr, "unknown pass kind %s\n", kind.c_str());
    return 2;
  }

  DeviceOpenOptions options;
  options.access = DeviceAccess::ReadWrite;
  auto opened = OpenDevice(Utf8ToWide(argv[1]), options);
  if (!opened.device) {
    std::fprintf(stderr, "cannot open %s (error %u)\n", argv[1], opened.error);
    return 1;
  }
  EraseJobConfig config;
  config.disk.sizeBytes = std::strtoull(argv[2], nullptr, 10) * 1024 * 1024;
  config.disk.bytesPerSector = 512;
  CancelFlag cancel{0};

  const auto start = std::chrono::steady_clock::now();
  const int32_t status = RunHardwarePass(*opened.device, config, pass, 1, cancel, {}, {});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (status != kStatusCompleted) {
    std::fprintf(stderr, "pass failed with status %d\n", status);
    return 1;
  }
  const double bytes = static_cast<double>(config.disk.sizeBytes);
  std::printf("%s %llu %.3f %.1f\n", kind.c_str(),
              static_cast<unsigned long long>(config.disk.sizeBytes), seconds,
              bytes / 1048576.0 / seconds);
  return 0;
}
