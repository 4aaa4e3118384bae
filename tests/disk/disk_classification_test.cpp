// Every safety rule of the classification in its order of precedence, which states allow a
// write, and the size text.
#include "disk/disk_classification.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "disk/disk_info.h"

namespace tvde {
namespace {

ClassificationContext Normal(int32_t systemDisk = 0, int32_t unlock = 0,
                             std::vector<DiskProtection> protections = {}) {
  return {systemDisk, 1, 0, unlock, protections};  // a boot medium means nothing outside WinPE
}

ClassificationContext WinPE(int32_t bootMedia, std::vector<DiskProtection> protections = {}) {
  return {0, bootMedia, 1, 0, protections};
}

TEST(Classification, RulesInTheirOrderOfPrecedence) {
  using B = BusKind;
  using M = MediaKind;
  using S = SafetyStatus;
  struct Case {
    int32_t number;
    BusKind bus;
    MediaKind media;
    const wchar_t* letters;
    ClassificationContext context;
    SafetyStatus status;
    const wchar_t* reason;
  };
  const Case cases[] = {
      // The running system's disk, found by number whatever its bus, or by carrying C:.
      {0, B::Sata, M::Ssd, L"C:", Normal(0), S::ProtectedSystemDisk, kReasonSystemDisk},
      {2, B::Usb, M::Removable, L"", Normal(2), S::ProtectedSystemDisk, kReasonSystemDisk},
      {2, B::Nvme, M::NvmeSsd, L"", Normal(2, 1), S::ProtectedSystemDisk, kReasonSystemDisk},
      {3, B::Usb, M::Removable, L"C:", Normal(0), S::ProtectedSystemDisk, kReasonSystemDisk},
      {1, B::Sata, M::Hdd, L"D:, c:", Normal(0, 1), S::ProtectedSystemDisk, kReasonSystemDisk},
      // Further disks the system needs, after the system disk, before every other rule.
      {3, B::Usb, M::Removable, L"", Normal(0, 1, {{3, ProtectionCause::PageFile}}),
       S::ProtectedSystemDisk, kReasonPageFile},
      {0, B::Sata, M::Hdd, L"", Normal(0, 0, {{0, ProtectionCause::SystemPartition}}),
       S::ProtectedSystemDisk, kReasonSystemDisk},
      {1, B::Sata, M::Hdd, L"", WinPE(2, {{1, ProtectionCause::WinPESystemFolder}}),
       S::ProtectedBootMedia, kReasonWinPESystemFolder},
      // Removable-like disks: USB, SD and MMC buses or removable media on any bus.
      {1, B::Usb, M::Hdd, L"E:", Normal(), S::Erasable, kReasonRemovable},
      {1, B::SdCard, M::Removable, L"", Normal(), S::Erasable, kReasonRemovable},
      {1, B::Mmc, M::Ssd, L"", Normal(), S::Erasable, kReasonRemovable},
      {1, B::Sata, M::Removable, L"", Normal(), S::Erasable, kReasonRemovable},
      // Internal disks stay locked unless unlocked with exactly 1.
      {1, B::Sata, M::Ssd, L"", Normal(0, 0), S::LockedInternal, kReasonLockedInternal},
      {1, B::Sata, M::Ssd, L"", Normal(0, 1), S::ErasableSecondary, kReasonUnlockedInternal},
      {1, B::Nvme, M::NvmeSsd, L"D:", Normal(0, 2), S::LockedInternal, kReasonLockedInternal},
      {4, B::ScsiSas, M::Hdd, L"", Normal(0, -1), S::LockedInternal, kReasonLockedInternal},
      {6, B::Virtual, M::Hdd, L"", Normal(0, 0), S::LockedInternal, kReasonLockedInternal},
      // WinPE protects only its boot medium; no medium found (-1) protects nothing.
      {2, B::Usb, M::Removable, L"E:", WinPE(2), S::ProtectedBootMedia, kReasonBootMedia},
      {0, B::Sata, M::Hdd, L"C:", WinPE(2), S::Erasable, kReasonWinPE},
      {1, B::Nvme, M::NvmeSsd, L"", WinPE(2), S::Erasable, kReasonWinPE},
      {0, B::Sata, M::Hdd, L"", WinPE(-1), S::Erasable, kReasonWinPE},
      // An unexpected environment mode keeps the normal protections.
      {0, B::Sata, M::Hdd, L"", {0, 1, 2, 0, {}}, S::ProtectedSystemDisk, kReasonSystemDisk},
      {1, B::Usb, M::Removable, L"", {0, 1, 100, 0, {}}, S::Erasable, kReasonRemovable},
  };
  for (const Case& c : cases) {
    DiskInfo disk;
    disk.diskNumber = c.number;
    disk.busType = c.bus;
    disk.mediaType = c.media;
    disk.driveLetters = c.letters;
    ClassifyDisk(disk, c.context);
    SCOPED_TRACE(std::to_string(c.number) + " " + WideToUtf8(c.letters));
    EXPECT_EQ(disk.safetyStatus, c.status);
    EXPECT_EQ(disk.safetyReason, c.reason);
    EXPECT_EQ(disk.driveLetters, *c.letters != 0 ? c.letters : kNoDriveLetters);
    EXPECT_EQ(AllowsWrite(disk.safetyStatus),
              c.status == S::Erasable || c.status == S::ErasableSecondary);
  }
}

TEST(DiskInfo, OnlyTheTwoErasableStatesAllowWritesAndARecordStartsProtected) {
  EXPECT_FALSE(AllowsWrite(DiskInfo{}.safetyStatus));
  EXPECT_TRUE(AllowsWrite(SafetyStatus::Erasable));
  EXPECT_TRUE(AllowsWrite(SafetyStatus::ErasableSecondary));
  for (const int32_t v : {1, 2, 3, 5, -1})
    EXPECT_FALSE(AllowsWrite(static_cast<SafetyStatus>(v))) << v;
}

TEST(DiskInfo, SizesInBinaryUnitsWithTerabytesFrom1000GiB) {
  const std::pair<uint64_t, const char*> cases[] = {{0, "0 B"},
                                                    {52428, "0.0 MB"},
                                                    {52429, "0.1 MB"},
                                                    {(1ull << 30) - 1, "1024.0 MB"},
                                                    {1000000000000ull, "931.32 GB"},
                                                    {(1000ull << 30) - 1, "1000.00 GB"},
                                                    {1000ull << 30, "0.98 TB"}};
  for (const auto& [bytes, text] : cases)
    EXPECT_EQ(WideToUtf8(FormatSize(bytes)), text) << bytes;
}

}  // namespace
}  // namespace tvde
