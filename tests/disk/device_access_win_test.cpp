// The access rule of device control codes on real handles under Wine (which passes every code
// on, as a real machine does not), for each way the program opens a disk, a volume or a file;
// and working folders reached through links.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/device.h"
#include "base/text.h"
#include "base/win/device_control_win.h"
#include "base/win/disk_query_win.h"
#include "disk/disk_enumeration.h"
#include "disk/win/volume_queries_win.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

using namespace tvde::testing;

// The access bits Windows documents for each code the program sends, against the handles the
// program opens: the query-only handles of the list and the listed-disk check (0), read-only
// and read-write disk handles, and a handle that may only read attributes.
TEST(DeviceControlAccess, ACodeIsSentOnlyThroughAHandleWithTheAccessItNames) {
  constexpr DWORD kNone = 0, kRead = GENERIC_READ, kBoth = GENERIC_READ | GENERIC_WRITE;
  struct Row {
    const char* name;
    DWORD code;
    std::vector<DWORD> admitted, refused;
  };
  const Row rows[] = {
      {"length", IOCTL_DISK_GET_LENGTH_INFO, {kRead, kBoth}, {kNone, FILE_READ_ATTRIBUTES}},
      {"delete layout", IOCTL_DISK_DELETE_DRIVE_LAYOUT, {kBoth}, {kNone, kRead, GENERIC_WRITE}},
      {"trim", IOCTL_STORAGE_MANAGE_DATA_SET_ATTRIBUTES, {GENERIC_WRITE, kBoth}, {kNone, kRead}},
      {"update properties", IOCTL_DISK_UPDATE_PROPERTIES, {kNone, kBoth}, {}},
      {"extents", IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, {kNone}, {}},
      {"lock", FSCTL_LOCK_VOLUME, {kNone, kBoth}, {}},
      {"dismount", FSCTL_DISMOUNT_VOLUME, {kNone, kBoth}, {}},
  };
  for (const Row& row : rows) {
    for (const DWORD access : row.admitted)
      EXPECT_TRUE(AccessAdmitsControl(access, row.code)) << row.name;
    for (const DWORD access : row.refused)
      EXPECT_FALSE(AccessAdmitsControl(access, row.code)) << row.name;
  }
  // Every question of the list and of the identity checks can be asked of a query-only handle.
  for (const DiskQuery query :
       {DiskQuery::DeviceNumber, DiskQuery::DeviceDescriptor, DiskQuery::SeekPenalty,
        DiskQuery::DriveGeometryEx, DiskQuery::DiskAttributes}) {
    EXPECT_EQ(ControlCodeAccess(DiskQueryControlCode(query)), 0u) << static_cast<int>(query);
  }
}

// The real opens and wrappers on an image file: a refused code fails with the I/O manager's
// error and never reaches the file; every question the program asks through each of its handles
// gets past the rule (whatever the file then answers).
TEST(DeviceControlAccess, EveryQueryPathPassesTheRuleThroughTheHandleItOpens) {
  TempDir dir;
  WriteFilledFile(dir.path() / "disk.img", 1 << 20, 0x5A);
  const std::wstring path = dir.File("disk.img");
  auto refusedByRule = [](bool ok) { return !ok && GetLastError() == ERROR_ACCESS_DENIED; };

  const AccessHandle queryOnly = OpenWithAccess(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
  ASSERT_TRUE(queryOnly.valid());
  uint8_t length[8] = {};
  DWORD returned = 0;
  EXPECT_TRUE(
      refusedByRule(ControlDevice(queryOnly, IOCTL_DISK_GET_LENGTH_INFO, {}, length, returned)));

  // The list and the listed-disk check.
  const auto listed = OpenQueryHandle(path);
  ASSERT_NE(listed, nullptr);
  // The check of the disk opened for writing.
  DeviceOpenOptions options;
  options.access = DeviceAccess::ReadWrite;
  DeviceOpenResult writable = OpenDevice(path, options);
  ASSERT_NE(writable.device, nullptr);
  for (const DiskQuery query :
       {DiskQuery::DeviceNumber, DiskQuery::DeviceDescriptor, DiskQuery::SeekPenalty,
        DiskQuery::DriveGeometryEx, DiskQuery::DiskAttributes}) {
    std::vector<uint8_t> out(512, 0);
    EXPECT_FALSE(refusedByRule(listed->Query(query, out).has_value())) << static_cast<int>(query);
    EXPECT_FALSE(refusedByRule(writable.device->QueryDisk(query, out).has_value()));
  }
  // The partition wipe, the stamp and the end of every job through the read-write handle.
  uint64_t size = 0;
  EXPECT_TRUE(writable.device->QueryLength(size));
  EXPECT_EQ(size, 1u << 20);
  EXPECT_FALSE(refusedByRule(writable.device->DeleteDriveLayout()));
  EXPECT_FALSE(refusedByRule(writable.device->UpdateProperties()));
  // A read-only handle may not delete the layout.
  DeviceOpenResult readOnly = OpenDevice(path, {});
  ASSERT_NE(readOnly.device, nullptr);
  EXPECT_TRUE(refusedByRule(readOnly.device->DeleteDriveLayout()));
  // The volume walk asks each volume for its extents through a query-only handle.
  std::vector<uint8_t> extents(32, 0);
  const ControlAnswer answer =
      QueryVolumeExtentsOf(OpenWithAccess(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, 0), extents);
  EXPECT_NE(answer.error, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
  // A volume that cannot be opened is not taken for one on no disk.
  const ControlAnswer missing = QueryVolumeExtentsOf(
      OpenWithAccess(dir.File("absent"), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, 0), extents);
  EXPECT_FALSE(missing.ok || missing.onNoDisk);
  EXPECT_NE(missing.error, 0u);
}

// A certificate folder behind a directory link lies on the volume the link leads to: here a
// host link on drive Z: into the prefix's drive C: (Wine makes no links or substituted drives
// of its own, but resolves the host's as Windows resolves its links, junctions and SUBST).
TEST(WorkingPaths, AFolderIsPlacedOnTheVolumeItsLinksLeadTo) {
  std::wstring link = L"Z:" + Utf8ToWide(TVDE_TEST_DRIVE_C_LINK);
  std::replace(link.begin(), link.end(), L'/', L'\\');
  const auto system = MakeWin32DiskQueries();
  const auto driveC = system->VolumeOfPath(L"C:\\windows");
  ASSERT_TRUE(driveC.has_value());
  ASSERT_NE(system->VolumeOfPath(L"Z:\\"), driveC);
  EXPECT_EQ(system->VolumeOfPath(link + L"\\certs\\not\\yet"), driveC);
  EXPECT_EQ(system->VolumeOfPath(link), driveC);
}

}  // namespace
}  // namespace tvde
