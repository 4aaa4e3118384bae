// Disk record defaults, labels and the size text.
#include "disk/disk_info.h"

#include <gtest/gtest.h>

#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

TEST(DiskInfo, DefaultRecordIsProtectedUntilClassified) {
  const DiskInfo disk;
  EXPECT_EQ(disk.safetyStatus, SafetyStatus::ProtectedSystemDisk);
  EXPECT_FALSE(AllowsWrite(disk.safetyStatus));
  EXPECT_TRUE(disk.devicePath.empty());
}

TEST(DiskInfo, BusLabels) {
  const char* expected[] = {"Unknown", "USB", "SATA", "NVMe",   "SCSI/SAS",
                            "SD Card", "MMC", "RAID", "Virtual"};
  for (int32_t v = 0; v <= 8; ++v)
    EXPECT_EQ(U8(BusTypeLabel(static_cast<BusKind>(v))), expected[v]);
  EXPECT_EQ(U8(BusTypeLabel(static_cast<BusKind>(9))), "Unknown");
  EXPECT_EQ(U8(BusTypeLabel(static_cast<BusKind>(-1))), "Unknown");
}

TEST(DiskInfo, MediaLabelsFallBackToStandardStorage) {
  EXPECT_EQ(U8(MediaTypeLabel(MediaKind::Hdd)), "HDD (磁気ディスク)");
  EXPECT_EQ(U8(MediaTypeLabel(MediaKind::Ssd)), "SSD (SATA/SAS)");
  EXPECT_EQ(U8(MediaTypeLabel(MediaKind::NvmeSsd)), "NVMe SSD");
  EXPECT_EQ(U8(MediaTypeLabel(MediaKind::Removable)), "リムーバブル (USB/フラッシュ)");
  EXPECT_EQ(U8(MediaTypeLabel(MediaKind::Standard)), "標準ストレージ");
  EXPECT_EQ(U8(MediaTypeLabel(static_cast<MediaKind>(5))), "標準ストレージ");
  EXPECT_EQ(U8(MediaTypeLabel(static_cast<MediaKind>(-3))), "標準ストレージ");
}

TEST(DiskInfo, SafetyLabelsAndWhichStatesAllowWrites) {
  EXPECT_EQ(U8(SafetyStatusLabel(SafetyStatus::Erasable)), "[消去可能] 安全チェックOK");
  EXPECT_EQ(U8(SafetyStatusLabel(SafetyStatus::ProtectedSystemDisk)),
            "[絶対保護] OS起動システムディスク (消去不可)");
  EXPECT_EQ(U8(SafetyStatusLabel(SafetyStatus::ProtectedBootMedia)),
            "[絶対保護] WinPE起動メディア (消去不可)");
  EXPECT_EQ(U8(SafetyStatusLabel(SafetyStatus::LockedInternal)),
            "[保護ロック] 内蔵ディスク (WinPE起動から消去推奨)");
  EXPECT_EQ(U8(SafetyStatusLabel(SafetyStatus::ErasableSecondary)),
            "[消去可能(注意)] 非ブート内蔵セカンダリディスク");
  EXPECT_EQ(U8(SafetyStatusLabel(static_cast<SafetyStatus>(5))), "[保護ロック] 不明な状態");
  EXPECT_EQ(U8(SafetyStatusLabel(static_cast<SafetyStatus>(-1))), "[保護ロック] 不明な状態");

  EXPECT_TRUE(AllowsWrite(SafetyStatus::Erasable));
  EXPECT_TRUE(AllowsWrite(SafetyStatus::ErasableSecondary));
  for (int32_t v : {1, 2, 3, 5, -1, 100})
    EXPECT_FALSE(AllowsWrite(static_cast<SafetyStatus>(v))) << v;
}

TEST(DiskInfo, PhysicalDrivePath) {
  EXPECT_EQ(U8(PhysicalDrivePath(0)), "\\\\.\\PhysicalDrive0");
  EXPECT_EQ(U8(PhysicalDrivePath(31)), "\\\\.\\PhysicalDrive31");
}

TEST(FormatSize, BytesMegabytesGigabytesAndTerabytes) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0 B"},
      {1, "0.0 MB"},
      {500ull << 20, "500.0 MB"},
      {52428, "0.0 MB"},                // 0.049999 MiB rounds down
      {52429, "0.1 MB"},                // 0.0500002 MiB rounds up
      {(1ull << 30) - 1, "1024.0 MB"},  // just under 1 GiB stays MB
      {1ull << 30, "1.00 GB"},
      {1000000000000ull, "931.32 GB"},
      {512ull << 30, "512.00 GB"},
      {(1000ull << 30) - 1, "1000.00 GB"},  // below 1000 GiB, rounds up
      {1000ull << 30, "0.98 TB"},
      {2000000000000ull, "1.82 TB"},
      {1ull << 40, "1.00 TB"},
      {18000000000000ull, "16.37 TB"},
  };
  for (const auto& [bytes, text] : cases)
    EXPECT_EQ(U8(FormatSize(bytes)), text) << bytes;
}

}  // namespace
}  // namespace tvde
