// Writing and erasing the stamp: call order and failure paths on the fault-injecting device,
// and the refusal of protected disks and host devices before anything is opened. Round trips
// on image files and loop devices run in the console tool's tests.
#include "stamp/stamp_writer.h"

#include <gtest/gtest.h>

#include "base/host_environment.h"
#include "erase/disk_error_text.h"
#include "stamp/stamp_image.h"
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

using namespace tvde::testing;
using Lines = std::vector<std::wstring>;

LogCallback Into(Lines& lines) {
  return [&lines](const std::wstring& line) { lines.push_back(line); };
}

TEST(WriteStampImage, WholeDeviceSectorsFlushedThenReadBackOrFalseWithTheReason) {
  struct Case {
    uint64_t deviceBytes;  // 131072 - 512: the write is cut short at the device's end
    void (*arm)(FaultPlan&);
    bool written;
    std::string events;
    const wchar_t* line;  // the start of the one line logged, or nothing logged
  };
  const std::string wrote = "seek 0|write 0 131072|flush|update-properties";
  const std::string readBack = wrote + "|seek 0|read 0 2560";
  // clang-format off
  const Case cases[] = {
      {1 << 20, nullptr, true, readBack, kLogStampWritten},
      {1 << 20, [](FaultPlan& f) { f.failWriteAt = 1; }, false, wrote,
       L"[ERROR] スタンプ領域 (オフセット 0) への書き込みに失敗しました: "},
      {131072 - 512, nullptr, false, wrote,
       L"[ERROR] スタンプ領域への書き込みが途中で終わりました: 130560 / 131072 バイト"},
      {1 << 20, [](FaultPlan& f) { f.failFlush = true; }, false, wrote,
       L"[ERROR] スタンプ書き込み後のフラッシュ (書き込み確定) に失敗しました。"},
      {1 << 20, [](FaultPlan& f) { f.failSeek = true; }, false, "seek 0|flush|update-properties", nullptr},
      // The device took the write, but the record does not come back with the certificate ID.
      {1 << 20, [](FaultPlan& f) { f.flipOffset = 0x200 + 20; }, false, readBack, kLogStampReadBackFailed},
  };
  // clang-format on
  const SyntheticPrograms programs;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.events);
    auto device = FaultDevice::InMemory(c.deviceBytes, 512, 0xEE);
    if (c.arm != nullptr) c.arm(device->faults);
    Lines log;
    EXPECT_EQ(WriteStampImage(*device, 512, SamplePayload(), Into(log), programs.view()),
              c.written);
    std::string events;
    for (const std::string& e : device->events)
      events += (events.empty() ? "" : "|") + e;
    EXPECT_EQ(events, c.events);
    ASSERT_EQ(log.size(), c.line ? 1u : 0u);
    if (c.line) {
      EXPECT_TRUE(log[0].starts_with(c.line)) << U8(log[0]);
    }
    if (!c.written) continue;
    const auto& bytes = device->memory()->bytes();
    EXPECT_EQ(CString(bytes, 0x200), ReadGolden("sample_record.txt"));
    EXPECT_TRUE(AllZero(bytes, 131072 - 512, 131072));
    EXPECT_EQ(bytes[131072], 0xEE);
  }
  // Nothing is touched for a sector size without a stamp layout, a certificate ID the record
  // cannot keep, or an image that cannot be built.
  SyntheticPrograms tooLong;
  tooLong.mbr.push_back(0x90);
  StampPayload badId = SamplePayload();
  badId.certificateId += L"|X";
  const std::wstring skipped = kLogStampSectorSizeUnsupported + std::wstring(L"2048 バイト)。");
  for (const auto& [sector, payload, bootPrograms, line] :
       {std::tuple{2048u, SamplePayload(), programs.view(), skipped},
        std::tuple{512u, badId, programs.view(), std::wstring(kLogStampIdNotStorable)},
        std::tuple{512u, SamplePayload(), tooLong.view(), std::wstring()}}) {
    auto device = FaultDevice::InMemory(1 << 20, sector);
    Lines log;
    EXPECT_FALSE(WriteStampImage(*device, sector, payload, Into(log), bootPrograms));
    EXPECT_TRUE(device->events.empty());
    EXPECT_EQ(log, line.empty() ? Lines{} : Lines{line});
  }
}

TEST(StampDisk, ProtectedDisksAndHostDevicesAreRefusedBeforeAnythingIsOpened) {
  TempDir dir;
  WriteFilledFile(dir.path() / "disk.img", 1 << 20, 0xEE);
  DiskInfo disk;
  disk.devicePath = dir.File("disk.img");
  const SyntheticPrograms programs;
#ifndef _WIN32
  // The kernel's own file-event reporting counts the opens of the image.
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_OPEN), 0);
  const auto opens = [watch] {
    alignas(inotify_event) char events[4096];
    return read(watch, events, sizeof events) > 0;
  };
#endif
  for (const int32_t status : {1, 2, 3, 9}) {  // system disk, boot medium, locked, unknown
    disk.safetyStatus = static_cast<SafetyStatus>(status);
    Lines log;
    EXPECT_FALSE(WriteDiskStamp(disk, SamplePayload(), Into(log), programs.view()));
    EXPECT_FALSE(EraseDiskStamp(disk, Into(log)));
    EXPECT_EQ(log, (Lines{kLogStampWriteRefused, kLogStampEraseRefused}));
  }
#ifndef _WIN32
  EXPECT_FALSE(opens());
  // The watch does see the open of an erasable disk, so the silence above means something.
  disk.safetyStatus = SafetyStatus::ErasableSecondary;
  ASSERT_TRUE(EraseDiskStamp(disk, {}));
  EXPECT_TRUE(opens());
  close(watch);
#endif
  // Under Wine the host's disks, volumes and device files are refused whatever the status, and
  // so is a missing name (nothing proves it an ordinary file); natively a missing image fails
  // with the system's reason. Nothing is created.
  disk.safetyStatus = SafetyStatus::Erasable;
  for (const wchar_t* path : {L"\\\\.\\PhysicalDrive0", L"\\\\.\\C:", L"Z:\\dev\\sda"}) {
    disk.devicePath = IsRunningUnderWine() ? path : dir.File("absent.img");
    Lines log;
    EXPECT_FALSE(WriteDiskStamp(disk, SamplePayload(), Into(log), programs.view()));
    EXPECT_FALSE(EraseDiskStamp(disk, Into(log)));
    const std::wstring refused = kLogStampRefusedUnderWine + disk.devicePath;
    const std::wstring missing = L"[ERROR] " + disk.devicePath + L": " + DescribeDiskError(2);
    EXPECT_EQ(log, (IsRunningUnderWine() ? Lines{refused, refused} : Lines{missing, missing}));
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "absent.img"));
}

}  // namespace
}  // namespace tvde
