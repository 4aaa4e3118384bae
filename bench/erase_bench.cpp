// Measures one step of the erase engine on a target file or device (a benchmark, never run by
// the tests). Usage: tvde_erase_bench TARGET SIZE_MIB MODE, where MODE is
//   zero | pattern | random           one overwrite pass over SIZE_MIB of TARGET;
//   verify-zero | verify-random       a full-surface verification of what the pass of that kind
//                                     left there (run it right after the pass);
//   keystream                         SIZE_MIB of random-pass keystream on one thread, in 4 MiB
//                                     chunks, with no device (TARGET is ignored).
// The random pass uses a fixed key so that verify-random can regenerate its stream.
// Prints: "<mode> <bytes> <seconds> <MiB/s>".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/device.h"
#include "base/page_buffer.h"
#include "base/text.h"
#include "erase/overwrite_pass.h"
#include "erase/verification.h"

namespace {

using namespace tvde;

RandomPassSecret BenchSecret() {
  return RandomPassSecret::Drawn([](std::span<uint8_t> out) {
    for (size_t i = 0; i < out.size(); ++i)
      out[i] = static_cast<uint8_t>(0xB7 ^ i);
    return true;
  });
}

bool Keystream(uint64_t bytes) {
  PageBuffer chunk = PageBuffer::Allocate(kWriteChunkBytes);
  const PassStream stream = BenchSecret().StreamFor(1);
  for (uint64_t offset = 0; offset < bytes; offset += chunk.size()) {
    if (!chunk.valid() || !stream(offset, chunk.span())) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s TARGET SIZE_MIB MODE\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[3];
  const bool verify = mode.starts_with("verify-");
  const std::string kind = verify ? mode.substr(7) : mode;
  PassSpec pass{1, PassKind::FixedByte, {0x00, 0, 0}, L"bench"};
  if (kind == "pattern") {
    pass.kind = PassKind::ThreeBytePattern;
    pass.pattern = {0x92, 0x49, 0x24};
  } else if (kind == "random") {
    pass.kind = PassKind::Random;
  } else if (kind != "zero" && kind != "keystream") {
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
  }
  EraseJobConfig config;
  config.disk.sizeBytes = std::strtoull(argv[2], nullptr, 10) * 1024 * 1024;
  config.disk.bytesPerSector = 512;
  config.executionMode = ExecutionMode::RealWrite;
  config.verifyMode = VerifyMode::Full;
  CancelFlag cancel{0};

  std::unique_ptr<Device> device;
  if (kind != "keystream") {
    DeviceOpenOptions options;
    options.access = verify ? DeviceAccess::ReadOnly : DeviceAccess::ReadWrite;
    auto opened = OpenDevice(Utf8ToWide(argv[1]), options);
    if (!opened.device) {
      std::fprintf(stderr, "cannot open %s (error %u)\n", argv[1], opened.error);
      return 1;
    }
    device = std::move(opened.device);
  }

  const PassStream stream = BenchSecret().StreamFor(pass.passNumber);
  const auto start = std::chrono::steady_clock::now();
  bool ok = false;
  if (kind == "keystream") {
    ok = Keystream(config.disk.sizeBytes);
  } else if (verify) {
    std::wstring verdict;
    ok = VerifyErasure(device.get(), config, ExpectedContent{&pass, stream, {}}, cancel, {}, {},
                       verdict) == kStatusCompleted;
    if (!ok) std::fprintf(stderr, "verification: %s\n", WideToUtf8(verdict).c_str());
  } else {
    ok = RunHardwarePass(*device, config, pass, 1, cancel, {}, {}, stream) == kStatusCompleted;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", mode.c_str());
    return 1;
  }
  const double bytes = static_cast<double>(config.disk.sizeBytes);
  std::printf("%s %llu %.3f %.1f\n", mode.c_str(),
              static_cast<unsigned long long>(config.disk.sizeBytes), seconds,
              bytes / 1048576.0 / seconds);
  return 0;
}
