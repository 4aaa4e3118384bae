// The OS layer on the real platform: Wine detection, the program's own path, raw device paths
// and the host devices Wine would reach (which every writing path refuses), UTF-8 conversion,
// and printf formatting.
#include "base/host_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "base/text.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

TEST(HostEnvironment, WineIsDetectedOnlyInTheWindowsBuildAndTheProgramFindsItself) {
#ifdef _WIN32
  EXPECT_TRUE(IsRunningUnderWine());  // the Windows tests run under Wine
#else
  EXPECT_FALSE(IsRunningUnderWine());
#endif
  EXPECT_EQ(std::filesystem::path(ProgramModulePath()).stem().string(), "tvde_base_tests");
#ifdef _WIN32
  EXPECT_EQ(HostOperatingSystem(), L"");  // Wine plays a workstation
#else
  const std::string release = testing::ReadTextFile("/proc/sys/kernel/osrelease");
  EXPECT_EQ(WideToUtf8(HostOperatingSystem()) + "\n", "Linux " + release);
#endif
  EXPECT_EQ(WideToUtf8(DirectoryOfPath(L"D:\\ツール/消去.exe") + DirectoryOfPath(L"tool.exe")),
            "D:\\ツール.");
}

TEST(HostEnvironment, RawDiskAndVolumePathsAreDevicesFilesAndSharesAreNot) {
  for (const wchar_t* device :
       {L"\\\\.\\PhysicalDrive0", L"\\\\.\\PHYSICALDRIVE17", L"\\\\.\\e:", L"//./PhysicalDrive1",
        L"\\\\./C:", L"\\\\?\\PhysicalDrive2", L"\\\\?\\E:",
        L"\\\\?\\Volume{6b29fc40-ca47-1067-b31d-00dd010662da}",
        L"\\\\?\\GLOBALROOT\\Device\\Harddisk0\\Partition0", L"\\\\.\\HarddiskVolume3",
        L"\\\\.\\CdRom0", L"\\??\\PhysicalDrive0", L"\\??\\D:", L"\\\\.\\"}) {
    EXPECT_TRUE(IsRawDevicePath(device)) << WideToUtf8(device);
  }
  for (const wchar_t* file :
       {L"C:\\images\\disk.img", L"disk.img", L"/tmp/disk.img", L"\\\\?\\C:\\images\\disk.img",
        L"\\\\?\\c:/images/disk.img", L"\\\\.\\C:\\images\\disk.img",
        L"\\\\?\\UNC\\server\\share\\disk.img", L"\\\\server\\share\\disk.img",
        L"\\\\.PhysicalDrive0", L"PhysicalDrive0", L""}) {
    EXPECT_FALSE(IsRawDevicePath(file)) << WideToUtf8(file);
  }
}

TEST(HostEnvironment, UnderWineOnlyExistingImageFilesAreNoHostDevices) {
  testing::TempDir dir;
  const std::wstring image = dir.File("disk.img");
  testing::WriteFilledFile(dir.path() / "disk.img", 512, 0);
  EXPECT_TRUE(IsExistingRegularFile(image));
  EXPECT_FALSE(IsExistingRegularFile(dir.File("missing.img")));
  EXPECT_FALSE(IsExistingRegularFile(dir.File("")));
  EXPECT_FALSE(IsWineHostDevicePath(image));
  if (!IsRunningUnderWine()) {
    // Natively the console tool protects block devices by other means.
    EXPECT_FALSE(IsWineHostDevicePath(L"\\\\.\\PhysicalDrive0"));
    EXPECT_FALSE(IsExistingRegularFile(Utf8ToWide(TVDE_TEST_DEVICE_LINK)));
    return;
  }
  // A file name that leads to a host device through a link, a folder, a missing file.
  std::wstring link = L"Z:" + Utf8ToWide(TVDE_TEST_DEVICE_LINK);
  std::replace(link.begin(), link.end(), L'/', L'\\');
  for (const std::wstring& path :
       {std::wstring(L"\\\\.\\PhysicalDrive0"), std::wstring(L"\\\\.\\C:"),
        std::wstring(L"Z:\\dev\\sda"), std::wstring(L"z:/dev/loop0"),
        std::wstring(L"Z:\\proc\\self\\mem"), link, dir.File(""), dir.File("missing.img")}) {
    EXPECT_TRUE(IsWineHostDevicePath(path)) << WideToUtf8(path);
  }
  const std::string unixPath = WineUnixPathOf(image);
  EXPECT_TRUE(unixPath.starts_with("/") && unixPath.ends_with("/disk.img")) << unixPath;
}

TEST(Text, Utf8RoundTripsJapaneseAndAstralTextAndRejectsWhatHasNoForm) {
  for (const std::string s : {"", "plain", "証明書ID: 消去済", "\xF0\x9F\x98\x80 smile"})
    EXPECT_EQ(WideToUtf8(Utf8ToWide(s)), s) << s;
  EXPECT_EQ(Utf8ToWide("\xE6\xB6\x88"), L"消");
  EXPECT_EQ(WideToUtf8(std::wstring(L"ab\0cd", 5)), "ab");  // the first zero ends the text
  for (const std::string bad : {"ok\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\x80z"})
    EXPECT_EQ(Utf8ToWide(bad), L"") << "malformed input gives nothing";
  std::wstring broken(L"a");
  broken += {static_cast<wchar_t>(0xD800), L'b', static_cast<wchar_t>(0xDC00)};
  EXPECT_EQ(WideToUtf8(broken), "");
  EXPECT_EQ(WideToUtf8(ReplaceUnencodable(broken)),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  EXPECT_EQ(FormatPrintf("%.2f GB %02X", 931.3225746154785, 0x9a), "931.32 GB 9A");
  const std::string longText(5000, 'x');
  EXPECT_EQ(FormatPrintf("%s!", longText.c_str()), longText + "!");
}

// SHA-256 and random bytes are checked where they are used: the report fingerprint against an
// independent implementation, random passes and certificate IDs.
}  // namespace
}  // namespace tvde
