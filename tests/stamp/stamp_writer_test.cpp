// Writing and erasing the stamp: call order and failure paths on the fault-injecting device,
// and the refusal of protected disks and host devices before anything is opened. Round trips
// on image files and loop devices run in the console tool's tests.
#include "stamp/stamp_writer.h"

#include <gtest/gtest.h>

#include "base/host_environment.h"
#include "stamp/stamp_image.h"
#include "stamp_test_support.h"
#include "support/fault_device.h"
#include "support/temp_dir.h"

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

TEST(WriteStampImage, WholeDeviceSectorsThenFlushAndTheNewLayoutOrFalseWithoutTheLine) {
  struct Case {
    uint32_t sector;
    uint64_t deviceBytes;  // 131072 - 512: the write is cut short at the device's end
    int32_t failWriteAt;
    bool failFlush, failSeek, written;
    std::string events;
  };
  // A 520-byte sector is no divisor of the page-aligned buffer: that disk takes 8-byte units.
  const Case cases[] = {
      {512, 1 << 20, 0, false, false, true, "seek 0|write 0 131072|flush|update-properties"},
      {4096, 1 << 20, 0, false, false, true, "seek 0|write 0 131072|flush|update-properties"},
      {520, 1 << 20, 0, false, false, true, "seek 0|write 0 131560|flush|update-properties"},
      {512, 1 << 20, 1, false, false, false, "seek 0|write 0 131072|flush|update-properties"},
      {512, 131072 - 512, 0, false, false, false, "seek 0|write 0 131072|flush|update-properties"},
      {512, 1 << 20, 0, true, false, false, "seek 0|write 0 131072|flush|update-properties"},
      {512, 1 << 20, 0, false, true, false, "seek 0|flush|update-properties"},
  };
  const SyntheticPrograms programs;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.events + " " + std::to_string(c.sector));
    auto device = FaultDevice::InMemory(c.deviceBytes, c.sector == 520 ? 8 : c.sector, 0xEE);
    device->faults.failWriteAt = c.failWriteAt;
    device->faults.failFlush = c.failFlush;
    device->faults.failSeek = c.failSeek;
    Lines log;
    EXPECT_EQ(WriteStampImage(*device, c.sector, SamplePayload(), Into(log), programs.view()),
              c.written);
    std::string events;
    for (const std::string& e : device->events)
      events += (events.empty() ? "" : "|") + e;
    EXPECT_EQ(events, c.events);
    EXPECT_EQ(log, c.written ? Lines{kLogStampWritten} : Lines{});
    if (!c.written) continue;
    const auto& bytes = device->memory()->bytes();
    EXPECT_EQ(CString(bytes, 0x200), ReadGolden("sample_record.txt"));
    EXPECT_TRUE(AllZero(bytes, 131072 - 512, StampImageLength(c.sector)));  // padding too
    EXPECT_EQ(bytes[StampImageLength(c.sector)], 0xEE);
  }
  // Nothing is touched when the image cannot be built.
  SyntheticPrograms tooLong;
  tooLong.mbr.push_back(0x90);
  auto device = FaultDevice::InMemory(1 << 20, 512);
  EXPECT_FALSE(WriteStampImage(*device, 512, SamplePayload(), {}, tooLong.view()));
  EXPECT_TRUE(device->events.empty());
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
  // silently. Nothing is created.
  disk.safetyStatus = SafetyStatus::Erasable;
  for (const wchar_t* path : {L"\\\\.\\PhysicalDrive0", L"\\\\.\\C:", L"Z:\\dev\\sda"}) {
    disk.devicePath = IsRunningUnderWine() ? path : dir.File("absent.img");
    Lines log;
    EXPECT_FALSE(WriteDiskStamp(disk, SamplePayload(), Into(log), programs.view()));
    EXPECT_FALSE(EraseDiskStamp(disk, Into(log)));
    const std::wstring refused = kLogStampRefusedUnderWine + disk.devicePath;
    EXPECT_EQ(log, (IsRunningUnderWine() ? Lines{refused, refused} : Lines{}));
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "absent.img"));
}

}  // namespace
}  // namespace tvde
