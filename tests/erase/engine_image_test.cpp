// The engine end to end on real image files opened through the OS layer (unbuffered, both
// builds): every standard's plan, the wipe, the TRIM request and verification.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "engine_recorder.h"
#include "erase/device_preparation.h"
#include "erase/overwrite_pass.h"
#include "erase/verification.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

using testing::DiskConfig;
using ::testing::ElementsAre;
using testing::EngineRecorder;
using testing::TempDir;

constexpr uint64_t kMiB = 1024 * 1024;

void CreateImage(const TempDir& dir, const std::string& name, uint64_t size, uint8_t fill) {
  std::ofstream out(dir.path() / name, std::ios::binary);
  const std::vector<char> bytes(static_cast<size_t>(size), static_cast<char>(fill));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadImage(const TempDir& dir, const std::string& name) {
  std::ifstream in(dir.path() / name, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

std::unique_ptr<Device> OpenImage(const TempDir& dir, const std::string& name,
                                  uint32_t sector = 512) {
  DeviceOpenOptions options;
  options.access = DeviceAccess::ReadWrite;
  options.sectorSize = sector;
  auto opened = OpenDevice(dir.File(name), options);
  EXPECT_NE(opened.device, nullptr) << "open error " << opened.error;
  return std::move(opened.device);
}

bool AllEqual(const std::vector<uint8_t>& bytes, uint64_t from, uint64_t to, uint8_t value) {
  return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                     bytes.begin() + static_cast<std::ptrdiff_t>(to),
                     [&](uint8_t b) { return b == value; });
}

bool LooksRandom(const std::vector<uint8_t>& bytes, uint64_t to) {
  for (uint64_t sector = 0; sector < to; sector += 512) {
    const uint8_t first = bytes[sector];
    if (std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(sector),
                    bytes.begin() + static_cast<std::ptrdiff_t>(sector + 512),
                    [&](uint8_t b) { return b == first; })) {
      return false;
    }
  }
  return true;
}

TEST(EngineOnImageFile, EveryStandardLeavesItsLastPassOnDiskAndVerifies) {
  // 400 whole sectors and a 100-byte tail that no pass may touch.
  constexpr uint64_t kSize = 400 * 512 + 100;
  constexpr uint64_t kWhole = 400 * 512;
  for (int32_t value = 0; value < kStandardCount; ++value) {
    const auto standard = static_cast<EraseStandard>(value);
    SCOPED_TRACE(value);
    TempDir dir;
    CreateImage(dir, "disk.img", kSize, 0x5A);
    auto device = OpenImage(dir, "disk.img");
    ASSERT_NE(device, nullptr);
    const PassPlan plan = BuildPassPlan(standard);
    EraseJobConfig config = DiskConfig(kSize);
    config.standard = standard;
    CancelFlag cancel{0};
    EngineRecorder recorder;
    for (const PassSpec& pass : plan) {
      ASSERT_EQ(RunHardwarePass(*device, config, pass, static_cast<int32_t>(plan.size()), cancel,
                                recorder.Progress(), recorder.Log()),
                kStatusCompleted)
          << pass.passNumber;
    }
    EXPECT_EQ(recorder.log.size(), 2 * plan.size());
    // The 100-byte tail is never written, so the plan ends just short of 100 percent.
    EXPECT_EQ(recorder.progress.back().passPercent, 99);
    EXPECT_EQ(recorder.progress.back().currentPass, static_cast<int32_t>(plan.size()));

    const auto bytes = ReadImage(dir, "disk.img");
    ASSERT_EQ(bytes.size(), kSize);
    const PassSpec& last = plan.back();
    if (last.kind == PassKind::FixedByte) {
      EXPECT_TRUE(AllEqual(bytes, 0, kWhole, last.pattern[0]));
    } else {
      EXPECT_EQ(last.kind, PassKind::Random);
      EXPECT_TRUE(LooksRandom(bytes, kWhole));
    }
    EXPECT_TRUE(AllEqual(bytes, kWhole, kSize, 0x5A));

    // Then the rest of a real job: wipe, read-back verification.
    WipePartitionTables(*device, kSize, 512, {});
    std::wstring verdict;
    EXPECT_EQ(VerifyErasure(device.get(), config, &last, cancel, {}, {}, verdict),
              kStatusCompleted);
    EXPECT_EQ(testing::U8(verdict), "PASSED (All Sampled Sectors Verified Clean)");
  }
}

TEST(EngineOnImageFile, FourKiBSectorImageFollowsTheWholeSectorRule) {
  constexpr uint64_t kSize = 4 * kMiB + 2 * 4096 + 1000;
  TempDir dir;
  CreateImage(dir, "disk4k.img", kSize, 0x5A);
  auto device = OpenImage(dir, "disk4k.img", 4096);
  ASSERT_NE(device, nullptr);
  const PassSpec pass{1, PassKind::ThreeBytePattern, {0x6D, 0xB6, 0xDB}, L"pattern"};
  EngineRecorder recorder;
  CancelFlag cancel{0};
  ASSERT_EQ(
      RunHardwarePass(*device, DiskConfig(kSize, 4096), pass, 1, cancel, recorder.Progress(), {}),
      kStatusCompleted);
  EXPECT_THAT(recorder.PassPercents(), ElementsAre(99, 99));
  const auto bytes = ReadImage(dir, "disk4k.img");
  EXPECT_EQ(bytes[4 * kMiB], 0x6D);                 // the phase restarts with the second chunk
  EXPECT_EQ(bytes[4 * kMiB + 2 * 4096 - 1], 0xB6);  // 8191 % 3 == 1
  EXPECT_TRUE(AllEqual(bytes, 4 * kMiB + 2 * 4096, kSize, 0x5A));

  EraseJobConfig config = DiskConfig(kSize, 4096);
  config.verifyMode = VerifyMode::Full;
  std::wstring verdict;
  EXPECT_EQ(VerifyErasure(device.get(), config, &pass, cancel, {}, {}, verdict), kStatusCompleted);
}

TEST(EngineOnImageFile, WipeZeroesBothEndsAndNeverGrowsTheFile) {
  TempDir dir;
  CreateImage(dir, "disk.img", 4000000, 0xFF);
  CreateImage(dir, "small.img", 64 * 1024, 0xFF);
  {
    auto device = OpenImage(dir, "disk.img");
    auto small = OpenImage(dir, "small.img");
    ASSERT_TRUE(device && small);
    EngineRecorder recorder;
    WipePartitionTables(*device, 4000000, 512, recorder.Log());
    WipePartitionTables(*small, 64 * 1024, 512, recorder.Log());
    EXPECT_EQ(recorder.log.size(), 2u);
    EXPECT_EQ(recorder.log[0], recorder.log[1]);
    EXPECT_EQ(recorder.log[0].rfind("[PARTITION] ", 0), 0u);
  }
  const auto bytes = ReadImage(dir, "disk.img");
  ASSERT_EQ(bytes.size(), 4000000u);
  EXPECT_TRUE(AllEqual(bytes, 0, kMiB, 0x00));
  EXPECT_TRUE(AllEqual(bytes, kMiB, 2951168, 0xFF));
  EXPECT_TRUE(AllEqual(bytes, 2951168, 2951168 + kMiB, 0x00));
  EXPECT_TRUE(AllEqual(bytes, 2951168 + kMiB, 4000000, 0xFF));
  const auto small = ReadImage(dir, "small.img");
  EXPECT_EQ(small.size(), 64u * 1024);
  EXPECT_TRUE(AllEqual(small, 0, small.size(), 0x00));
}

TEST(EngineOnImageFile, TrimOfAnImageFile) {
  TempDir dir;
  CreateImage(dir, "disk.img", 1 * kMiB, 0xAB);
  auto device = OpenImage(dir, "disk.img");
  ASSERT_NE(device, nullptr);
  EngineRecorder recorder;
  SendTrimForWholeDisk(*device, kMiB, recorder.Log());
  device.reset();
  const auto bytes = ReadImage(dir, "disk.img");
  ASSERT_EQ(bytes.size(), kMiB);
#ifdef _WIN32
  // A file is no storage device: the request is refused and the data stays.
  EXPECT_THAT(
      recorder.log,
      ElementsAre(
          "[INFO] ハードウェアTRIM通知はスキップされました。物理セクタの完全上書きパージを実行します。"));
  EXPECT_TRUE(AllEqual(bytes, 0, kMiB, 0xAB));
#else
  // The file's blocks go back to the file system and read as zeroes.
  EXPECT_THAT(
      recorder.log,
      ElementsAre(
          "[NIST 800-88 / SSD] ストレージコントローラへ全LBA領域 TRIM / Deallocate 通知を発行しました。"));
  EXPECT_TRUE(AllEqual(bytes, 0, kMiB, 0x00));
#endif
}

TEST(EngineOnImageFile, VerificationFindsAByteChangedInTheFile) {
  constexpr uint64_t kSize = 8 * kMiB;
  TempDir dir;
  CreateImage(dir, "disk.img", kSize, 0x00);
  {
    // Sample 1 of 64 starts at LBA (16384 - 128) / 64 = 254.
    std::fstream file(dir.path() / "disk.img", std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(254 * 512 + 1000);
    file.put('\x01');
  }
  auto device = OpenImage(dir, "disk.img");
  ASSERT_NE(device, nullptr);
  const PassSpec zero{1, PassKind::FixedByte, {0, 0, 0}, L"zero"};
  CancelFlag cancel{0};
  std::wstring verdict;
  EraseJobConfig config = DiskConfig(kSize);
  EXPECT_EQ(VerifyErasure(device.get(), config, &zero, cancel, {}, {}, verdict), kStatusFailed);
  EXPECT_EQ(testing::U8(verdict), "FAILED (Pattern Mismatch Detected)");
}

}  // namespace
}  // namespace tvde
