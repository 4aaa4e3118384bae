// Writing and erasing the stamp: call order and failure paths on the fault-injecting device,
// round trips on image files, and the refusal of protected disks before anything is opened.
#include "stamp/stamp_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/host_environment.h"
#include "stamp/stamp_detect.h"
#include "stamp_test_support.h"
#include "support/fault_device.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

#ifndef _WIN32
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace tvde {
namespace {

using testing::AllZero;
using testing::CString;
using testing::FaultDevice;
using testing::FaultPlan;
using testing::ReadWholeFile;
using testing::SamplePayload;
using testing::SyntheticPrograms;
using testing::TempDir;
using testing::U8;
using testing::WriteWholeFile;

const char* const kWrittenLine =
    "[DISK STAMP] 実機起動レポート画面 (BIOS/CSM フルスクリーン & UEFI GOP グラフィック両対応スタンプ) "
    "をディスクへ記録しました";
const char* const kErasedLine =
    "[DISK STAMP] ディスク先頭領域 (LBA 0..255) の実機レポートスタンプを消去し、完全未初期化状態 "
    "(全0x00) に切り替えました。";
const char* const kWriteRefusedLine =
    "[SAFETY] 保護ロック中のディスクにはスタンプを書き込めません。";
const char* const kEraseRefusedLine = "[SAFETY] 保護ロック中のディスクは操作できません。";

struct LogLines {
  std::vector<std::string> lines;
  LogCallback sink() {
    return [this](const std::wstring& line) { lines.push_back(U8(line)); };
  }
};

const std::vector<std::string> kWriteOrder = {"seek 0", "write 0 131072", "flush",
                                              "update-properties"};
// A written stamp counts only once its record reads back.
const std::vector<std::string> kWriteAndReadBack = {
    "seek 0", "write 0 131072", "flush", "update-properties", "seek 0", "read 0 2560"};

std::vector<uint8_t> Written(FaultDevice& device, size_t size) {
  const auto& bytes = device.memory()->bytes();
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)};
}

TEST(WriteStampImage, SeeksWritesWholeDeviceSectorsFlushesAndRereadsTheLayoutThenLogs) {
  SyntheticPrograms programs;
  for (const auto& [sector, length] : {std::pair{512u, 131072u}, std::pair{4096u, 131072u}}) {
    SCOPED_TRACE(sector);
    auto device = FaultDevice::InMemory(1 << 20, sector, 0xEE);
    LogLines log;
    ASSERT_TRUE(WriteStampImage(*device, sector, SamplePayload(), log.sink(), programs.view()));
    EXPECT_EQ(device->events,
              (std::vector<std::string>{"seek 0", "write 0 " + std::to_string(length), "flush",
                                        "update-properties", "seek 0",
                                        "read 0 " + std::to_string(DetectReadLength(sector))}));
    EXPECT_EQ(log.lines, std::vector<std::string>{kWrittenLine});
    const auto written = Written(*device, length + 1);
    EXPECT_EQ(CString(written, 0x200).rfind("TVDE_STAMP_V2|TVDE-20261023-A1B2C3|", 0), 0u);
    EXPECT_EQ(written[0x1FE], 0x55);
    EXPECT_EQ(written[length], 0xEE);
  }
  // Sector sizes without a stamp layout are skipped before anything is touched.
  auto device = FaultDevice::InMemory(1 << 20, 2048, 0xEE);
  LogLines log;
  EXPECT_FALSE(WriteStampImage(*device, 2048, SamplePayload(), log.sink(), programs.view()));
  EXPECT_TRUE(device->events.empty());
  EXPECT_EQ(log.lines,
            std::vector<std::string>{
                "[DISK STAMP] このセクタサイズのディスクにはブータブルレポートスタンプを記録"
                "できないため、スタンプの記録をスキップしました (論理セクタサイズ 2048 バイト)。"});
}

TEST(WriteStampImage, FailuresReturnFalseWithTheirReasonStillFlushAndNeverWriteAfterABadSeek) {
  SyntheticPrograms programs;
  struct Case {
    const char* name;
    uint64_t deviceBytes;  // 131072 - 512: the write is cut short at the device's end
    void (*arm)(FaultPlan&);
    std::vector<std::string> events;
  };
  const std::vector<std::string> noWrite = {"seek 0", "flush", "update-properties"};
  const Case cases[] = {
      {"write error", 1 << 20, [](FaultPlan& f) { f.failWriteAt = 1; }, kWriteOrder},
      {"short write", 131072 - 512, [](FaultPlan&) {}, kWriteOrder},
      {"flush error", 1 << 20, [](FaultPlan& f) { f.failFlush = true; }, kWriteOrder},
      {"seek error", 1 << 20, [](FaultPlan& f) { f.failSeek = true; }, noWrite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto device = FaultDevice::InMemory(c.deviceBytes, 512);
    c.arm(device->faults);
    LogLines log;
    EXPECT_FALSE(WriteStampImage(*device, 512, SamplePayload(), log.sink(), programs.view()));
    EXPECT_EQ(device->events, c.events);
    EXPECT_EQ(log.lines.size(), c.events == noWrite ? 0u : 1u);  // an [ERROR] line with why
  }
}

TEST(WriteStampImage, TouchesNothingWhenTheImageCannotBeBuilt) {
  SyntheticPrograms programs;
  programs.mbr.push_back(0x90);  // 64 bytes: would overwrite the read packet
  auto device = FaultDevice::InMemory(1 << 20, 512);
  LogLines log;
  EXPECT_FALSE(WriteStampImage(*device, 512, SamplePayload(), log.sink(), programs.view()));
  EXPECT_TRUE(device->events.empty());
  EXPECT_TRUE(log.lines.empty());
}

// Offset of the report block magic in a program image, or npos.
size_t MagicOffset(std::span<const uint8_t> image) {
  const std::string magic = "TVDE_EFI_STAMP_V2_MAGIC";
  const std::string bytes(image.begin(), image.end());
  return bytes.find(magic);
}

TEST(WriteStampImageEmbedded, WritesTheProgramsOfThisBuildPatchedWithTheReport) {
  const BootPrograms embedded = EmbeddedBootPrograms();
  auto device = FaultDevice::InMemory(131072, 512);
  LogLines log;
  ASSERT_TRUE(WriteStampImage(*device, 512, SamplePayload(), log.sink()));
  EXPECT_EQ(device->events, kWriteAndReadBack);
  EXPECT_EQ(log.lines, std::vector<std::string>{kWrittenLine});
  const std::vector<uint8_t>& image = device->memory()->bytes();

  EXPECT_TRUE(std::equal(embedded.mbrBootCode.begin(), embedded.mbrBootCode.end(), image.begin()));
  EXPECT_TRUE(std::equal(embedded.biosReportProgram.begin(), embedded.biosReportProgram.end(),
                         image.begin() + 0xA00));
  EXPECT_TRUE(AllZero(image, 0xA00 + embedded.biosReportProgram.size(), 0xA60));

  // Each program lies in its clusters unchanged except for its block, which carries the report.
  const std::vector<std::pair<std::span<const uint8_t>, size_t>> programs = {
      {embedded.efiReportX64, 0x14200 + 2 * 512}, {embedded.efiReportIa32, 0x14200 + 22 * 512}};
  for (const auto& [program, offset] : programs) {
    const size_t magic = MagicOffset(program);
    ASSERT_NE(magic, std::string::npos);
    const auto stored = std::span<const uint8_t>(image).subspan(offset, program.size());
    EXPECT_TRUE(std::equal(program.begin(), program.begin() + magic, stored.begin()));
    EXPECT_TRUE(
        std::equal(program.begin() + magic + 2792, program.end(), stored.begin() + magic + 2792));
    EXPECT_EQ(CString(stored, magic + 152 + 28), "TVDE-20261023-A1B2C3");
    EXPECT_EQ(CString(stored, magic + 992 + 14 * 120 + 28),
              "TVBIOS 1.07 (2025-01-15) | Standard NVM Express Controller");
  }
}

TEST(WriteStampImageEmbedded, RefusesANullDevice) {
  LogLines log;
  EXPECT_FALSE(WriteStampImage(static_cast<Device*>(nullptr), 512, SamplePayload(), log.sink()));
  EXPECT_TRUE(log.lines.empty());
  auto device = FaultDevice::InMemory(131072, 4096);
  EXPECT_TRUE(WriteStampImage(device.get(), 4096, SamplePayload(), log.sink()));
  EXPECT_EQ(device->events.back(), "read 0 4096");
}

class StampFileTest : public ::testing::Test {
 protected:
  DiskInfo Disk(uint32_t sector, SafetyStatus status = SafetyStatus::Erasable) const {
    DiskInfo disk;
    disk.diskNumber = 7;
    disk.devicePath = dir_.File("disk.img");
    disk.model = L"Image Disk";
    disk.serialNumber = L"IMG-0001";
    disk.sizeBytes = kFileSize;
    disk.bytesPerSector = sector;
    disk.safetyStatus = status;
    return disk;
  }

  void CreateDisk(uint8_t fill) {
    WriteWholeFile(dir_.File("disk.img"), std::vector<uint8_t>(kFileSize, fill));
  }

  static HardwareProfile LocalProfile() {
    HardwareProfile local;
    local.manufacturer = L"Local Maker";
    local.storageController = L"Local Controller";
    return local;
  }

  static constexpr size_t kFileSize = 1 << 20;
  TempDir dir_;
  SyntheticPrograms programs_;
};

TEST_F(StampFileTest, WriteDetectEraseDetectRewriteRoundTripOnAnImageFile) {
  for (const auto& [sector, status] : {std::pair{512u, SafetyStatus::Erasable},
                                       std::pair{4096u, SafetyStatus::ErasableSecondary}}) {
    SCOPED_TRACE(sector);
    CreateDisk(0xEE);
    const DiskInfo disk = Disk(sector, status);
    LogLines log;
    ASSERT_TRUE(WriteDiskStamp(disk, SamplePayload(), log.sink(), programs_.view()));
    EXPECT_EQ(log.lines, std::vector<std::string>{kWrittenLine});

    const auto stamped = ReadWholeFile(disk.devicePath);
    auto bytes = stamped;
    ASSERT_EQ(bytes.size(), kFileSize);
    EXPECT_EQ(std::string(bytes.begin() + 512, bytes.begin() + 526), "TVDE_STAMP_V2|");
    EXPECT_EQ(bytes[0x1FE], 0x55);
    EXPECT_EQ(bytes[0x8000 + 0x36], 'F');
    EXPECT_EQ(bytes[131071], 0);
    EXPECT_EQ(bytes[131072], 0xEE);  // nothing past the stamp area is touched

    const StampPayload found = DetectDiskStamp(disk, LocalProfile());
    const StampPayload sample = SamplePayload();
    EXPECT_EQ(found.incomplete, 0);
    EXPECT_EQ(found.certificateId, sample.certificateId);
    EXPECT_EQ(found.standardName, sample.standardName);
    EXPECT_EQ(found.operatorName, sample.operatorName);
    EXPECT_EQ(found.diskModel, sample.diskModel);
    EXPECT_EQ(found.passesCompleted, 3);
    EXPECT_EQ(found.hardware.manufacturer, L"Toreval Systems");
    EXPECT_EQ(found.hardware.storageController, L"Standard NVM Express Controller");
    EXPECT_EQ(U8(found.stampState), "Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)");

    log.lines.clear();
    ASSERT_TRUE(EraseDiskStamp(disk, log.sink()));
    EXPECT_EQ(log.lines, std::vector<std::string>{kErasedLine});
    bytes = ReadWholeFile(disk.devicePath);
    ASSERT_EQ(bytes.size(), kFileSize);
    EXPECT_TRUE(AllZero(bytes, 0, 131072));
    EXPECT_EQ(bytes[131072], 0xEE);

    const StampPayload gone = DetectDiskStamp(disk, LocalProfile());
    EXPECT_EQ(gone.incomplete, 1);
    EXPECT_EQ(gone.diskModel, L"Image Disk");
    EXPECT_EQ(gone.hardware.manufacturer, L"Local Maker");

    // Written again, the erased disk gets the very same bytes.
    ASSERT_TRUE(WriteDiskStamp(disk, SamplePayload(), {}, programs_.view()));
    EXPECT_EQ(ReadWholeFile(disk.devicePath), stamped);
  }
}

TEST_F(StampFileTest, AMissingDeviceFailsSilentlyAndIsNotCreated) {
  DiskInfo disk = Disk(512);
  disk.devicePath = dir_.File("absent.img");
  LogLines log;
  EXPECT_FALSE(WriteDiskStamp(disk, SamplePayload(), log.sink(), programs_.view()));
  EXPECT_FALSE(EraseDiskStamp(disk, log.sink()));
  // Under Wine nothing proves that a missing name is an ordinary file, so it is refused with a
  // line before any open; elsewhere the failed open is silent.
  EXPECT_EQ(log.lines.size(), IsRunningUnderWine() ? 2u : 0u);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "absent.img"));
}

#ifndef _WIN32
// Counts the opens of one file while alive, through the kernel's own file-event reporting.
class OpenWatch {
 public:
  explicit OpenWatch(const std::filesystem::path& path)
      : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) inotify_add_watch(fd_, path.c_str(), IN_OPEN);
  }
  ~OpenWatch() {
    if (fd_ >= 0) close(fd_);
  }
  bool valid() const { return fd_ >= 0; }
  int Opens() {
    alignas(inotify_event) char buffer[4096];
    int opens = 0;
    for (;;) {
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) return opens;
      for (ssize_t i = 0; i < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + i);
        if (event->mask & IN_OPEN) ++opens;
        i += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }

 private:
  int fd_;
};
#endif

TEST_F(StampFileTest, ProtectedDisksAreRefusedBeforeAnythingIsOpened) {
  CreateDisk(0xEE);
#ifndef _WIN32
  OpenWatch watch(dir_.path() / "disk.img");
  ASSERT_TRUE(watch.valid());
#endif
  for (SafetyStatus status : {SafetyStatus::ProtectedSystemDisk, SafetyStatus::ProtectedBootMedia,
                              SafetyStatus::LockedInternal, static_cast<SafetyStatus>(9)}) {
    SCOPED_TRACE(static_cast<int>(status));
    const DiskInfo disk = Disk(512, status);
    LogLines log;
    EXPECT_FALSE(WriteDiskStamp(disk, SamplePayload(), log.sink(), programs_.view()));
    EXPECT_FALSE(EraseDiskStamp(disk, log.sink()));
    EXPECT_EQ(log.lines, (std::vector<std::string>{kWriteRefusedLine, kEraseRefusedLine}));
#ifndef _WIN32
    EXPECT_EQ(watch.Opens(), 0);
#endif
  }
  EXPECT_EQ(ReadWholeFile(dir_.File("disk.img")), std::vector<uint8_t>(kFileSize, 0xEE));
#ifndef _WIN32
  // The watch does see the open of an erasable disk, so the zero above means something.
  ASSERT_TRUE(EraseDiskStamp(Disk(512), {}));
  EXPECT_GE(watch.Opens(), 1);
#endif
}

TEST(StampDiskUnderWine, HostDevicePathsAreRefusedBeforeAnyOpen) {
  if (!IsRunningUnderWine()) GTEST_SKIP() << "only the Windows build under Wine reaches host disks";
  for (const wchar_t* path : {L"\\\\.\\PhysicalDrive0", L"\\\\.\\C:", L"Z:\\dev\\sda"}) {
    DiskInfo disk;
    disk.devicePath = path;
    disk.safetyStatus = SafetyStatus::Erasable;
    std::vector<std::string> lines;
    const LogCallback log = [&lines](const std::wstring& line) { lines.push_back(U8(line)); };
    EXPECT_FALSE(WriteDiskStamp(disk, SamplePayload(), log, SyntheticPrograms().view()));
    EXPECT_FALSE(EraseDiskStamp(disk, log));
    const std::string expected =
        "[SAFETY] Wine環境ではホストの実ディスクを保護するため、ディスクデバイスへのスタンプ操作をブロックしました: " +
        U8(path);
    EXPECT_EQ(lines, (std::vector<std::string>{expected, expected}));
  }
}

}  // namespace
}  // namespace tvde
