// Every safety rule of the classification, in its order of precedence.
#include "disk/disk_classification.h"

#include <gtest/gtest.h>

#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

constexpr const char* kSystemReason =
    "現在のWindows OSが稼働しているシステム起動ディスクのため、安全保護ロックにより消去できません。";
constexpr const char* kBootReason = "現在起動中のWinPEメディア自体のため、保護ロックされています。";
constexpr const char* kWinPEReason =
    "WinPEモード: 内蔵・外部ストレージとして安全に完全消去可能です。";
constexpr const char* kRemovableReason =
    "外部/リムーバブルストレージ: Windows上から安全に完全消去可能です。";
constexpr const char* kUnlockedReason =
    "内蔵セカンダリディスク (ロック解除中 - 消去時は十分ご注意ください)";
constexpr const char* kLockedReason =
    "内蔵ストレージです。通常Windows上では誤消去防止のため保護されています(WinPE起動または上級者ロック解除で消去可能)。";

DiskInfo Disk(int32_t number, BusKind bus, MediaKind media, const wchar_t* letters = L"") {
  DiskInfo disk;
  disk.diskNumber = number;
  disk.busType = bus;
  disk.mediaType = media;
  disk.driveLetters = letters;
  disk.sizeBytes = 500ull << 30;
  return disk;
}

ClassificationContext Normal(int32_t systemDisk = 0, int32_t unlock = 0) {
  return {systemDisk, -1, 0, unlock, {}};
}

ClassificationContext WinPE(int32_t bootMedia, int32_t systemDisk = 0) {
  return {systemDisk, bootMedia, 1, 0, {}};
}

struct Outcome {
  SafetyStatus status;
  std::string reason;
};

Outcome Classify(DiskInfo disk, const ClassificationContext& context) {
  ClassifyDisk(disk, context);
  return {disk.safetyStatus, U8(disk.safetyReason)};
}

#define EXPECT_OUTCOME(outcome, expectedStatus, expectedReason) \
  do {                                                          \
    const Outcome o = (outcome);                                \
    EXPECT_EQ(o.status, expectedStatus);                        \
    EXPECT_EQ(o.reason, expectedReason);                        \
  } while (false)

TEST(Classification, TheSystemDiskIsProtectedInNormalWindowsWhateverItsBus) {
  EXPECT_OUTCOME(Classify(Disk(0, BusKind::Sata, MediaKind::Ssd, L"C:"), Normal(0)),
                 SafetyStatus::ProtectedSystemDisk, kSystemReason);
  // Found by number even without letters, and even when it is a USB disk (Windows To Go).
  EXPECT_OUTCOME(Classify(Disk(2, BusKind::Usb, MediaKind::Removable), Normal(2)),
                 SafetyStatus::ProtectedSystemDisk, kSystemReason);
  EXPECT_OUTCOME(Classify(Disk(2, BusKind::Nvme, MediaKind::NvmeSsd), Normal(2, 1)),
                 SafetyStatus::ProtectedSystemDisk, kSystemReason);
}

TEST(Classification, AnyDiskCarryingDriveCIsProtectedInNormalWindows) {
  // The letter rule comes before the removable rule.
  EXPECT_OUTCOME(Classify(Disk(3, BusKind::Usb, MediaKind::Removable, L"C:"), Normal(0)),
                 SafetyStatus::ProtectedSystemDisk, kSystemReason);
  EXPECT_OUTCOME(Classify(Disk(1, BusKind::Sata, MediaKind::Hdd, L"D:, c:"), Normal(0, 1)),
                 SafetyStatus::ProtectedSystemDisk, kSystemReason);
  EXPECT_OUTCOME(Classify(Disk(1, BusKind::SdCard, MediaKind::Removable, L"E:, C:, F:"), Normal()),
                 SafetyStatus::ProtectedSystemDisk, kSystemReason);
}

TEST(Classification, RemovableLikeDisksAreErasableInNormalWindows) {
  EXPECT_OUTCOME(Classify(Disk(1, BusKind::Usb, MediaKind::Hdd, L"E:"), Normal()),
                 SafetyStatus::Erasable, kRemovableReason);
  EXPECT_OUTCOME(Classify(Disk(1, BusKind::SdCard, MediaKind::Removable), Normal()),
                 SafetyStatus::Erasable, kRemovableReason);
  EXPECT_OUTCOME(Classify(Disk(1, BusKind::Mmc, MediaKind::Ssd), Normal()), SafetyStatus::Erasable,
                 kRemovableReason);
  // Removable media on an internal bus.
  EXPECT_OUTCOME(Classify(Disk(1, BusKind::Sata, MediaKind::Removable), Normal()),
                 SafetyStatus::Erasable, kRemovableReason);
}

TEST(Classification, InternalDisksAreLockedUnlessUnlockedWithExactlyOne) {
  EXPECT_OUTCOME(Classify(Disk(1, BusKind::Sata, MediaKind::Ssd), Normal(0, 0)),
                 SafetyStatus::LockedInternal, kLockedReason);
  EXPECT_OUTCOME(Classify(Disk(1, BusKind::Sata, MediaKind::Ssd), Normal(0, 1)),
                 SafetyStatus::ErasableSecondary, kUnlockedReason);
  EXPECT_OUTCOME(Classify(Disk(1, BusKind::Nvme, MediaKind::NvmeSsd, L"D:"), Normal(0, 2)),
                 SafetyStatus::LockedInternal, kLockedReason);
  EXPECT_OUTCOME(Classify(Disk(4, BusKind::ScsiSas, MediaKind::Hdd), Normal(0, -1)),
                 SafetyStatus::LockedInternal, kLockedReason);
  EXPECT_OUTCOME(Classify(Disk(5, BusKind::Unknown, MediaKind::Standard), Normal(0, 1)),
                 SafetyStatus::ErasableSecondary, kUnlockedReason);
  EXPECT_OUTCOME(Classify(Disk(6, BusKind::Virtual, MediaKind::Hdd), Normal(0, 0)),
                 SafetyStatus::LockedInternal, kLockedReason);
}

TEST(Classification, NormalWindowsIgnoresTheBootMediaNumber) {
  ClassificationContext context = Normal(0);
  context.bootMediaDiskNumber = 1;
  EXPECT_OUTCOME(Classify(Disk(1, BusKind::Usb, MediaKind::Removable, L"E:"), context),
                 SafetyStatus::Erasable, kRemovableReason);
}

TEST(Classification, WinPEProtectsOnlyItsBootMedium) {
  EXPECT_OUTCOME(Classify(Disk(2, BusKind::Usb, MediaKind::Removable, L"E:"), WinPE(2)),
                 SafetyStatus::ProtectedBootMedia, kBootReason);
  // The internal disk with C: and the disk that held the system directory are erasable there.
  EXPECT_OUTCOME(Classify(Disk(0, BusKind::Sata, MediaKind::Hdd, L"C:"), WinPE(2, 0)),
                 SafetyStatus::Erasable, kWinPEReason);
  EXPECT_OUTCOME(Classify(Disk(1, BusKind::Nvme, MediaKind::NvmeSsd), WinPE(2)),
                 SafetyStatus::Erasable, kWinPEReason);
  EXPECT_OUTCOME(Classify(Disk(3, BusKind::Usb, MediaKind::Removable, L"F:"), WinPE(2)),
                 SafetyStatus::Erasable, kWinPEReason);
  // No boot medium found: nothing is protected by number -1.
  EXPECT_OUTCOME(Classify(Disk(0, BusKind::Sata, MediaKind::Hdd), WinPE(-1)),
                 SafetyStatus::Erasable, kWinPEReason);
}

TEST(Classification, AnUnexpectedEnvironmentModeKeepsTheNormalProtections) {
  for (int32_t mode : {2, -1, 100}) {
    ClassificationContext context{0, 1, mode, 0, {}};
    EXPECT_OUTCOME(Classify(Disk(0, BusKind::Sata, MediaKind::Hdd), context),
                   SafetyStatus::ProtectedSystemDisk, kSystemReason);
    EXPECT_OUTCOME(Classify(Disk(2, BusKind::Sata, MediaKind::Hdd, L"D:"), context),
                   SafetyStatus::LockedInternal, kLockedReason);
    EXPECT_OUTCOME(Classify(Disk(1, BusKind::Usb, MediaKind::Removable), context),
                   SafetyStatus::Erasable, kRemovableReason);
  }
}

TEST(Classification, EmptyLettersBecomeTheNoneTextAndOthersStay) {
  DiskInfo none = Disk(1, BusKind::Usb, MediaKind::Removable);
  ClassifyDisk(none, Normal());
  EXPECT_EQ(U8(none.driveLetters), "(未割当/マウントなし)");
  DiskInfo some = Disk(1, BusKind::Usb, MediaKind::Removable, L"E:, F:");
  ClassifyDisk(some, WinPE(5));
  EXPECT_EQ(U8(some.driveLetters), "E:, F:");
  DiskInfo system = Disk(0, BusKind::Sata, MediaKind::Hdd);
  ClassifyDisk(system, Normal(0));
  EXPECT_EQ(U8(system.driveLetters), "(未割当/マウントなし)");
}

TEST(Classification, OnlyTheTwoErasableStatesAllowWrites) {
  std::vector<DiskInfo> disks = {Disk(0, BusKind::Sata, MediaKind::Hdd, L"C:"),
                                 Disk(1, BusKind::Sata, MediaKind::Ssd),
                                 Disk(2, BusKind::Usb, MediaKind::Removable)};
  ClassifyDisks(disks, Normal(0, 0));
  EXPECT_FALSE(AllowsWrite(disks[0].safetyStatus));
  EXPECT_FALSE(AllowsWrite(disks[1].safetyStatus));
  EXPECT_TRUE(AllowsWrite(disks[2].safetyStatus));
  EXPECT_TRUE(IsRemovableLike(disks[2]));
  EXPECT_FALSE(IsRemovableLike(disks[1]));
}

}  // namespace
}  // namespace tvde
