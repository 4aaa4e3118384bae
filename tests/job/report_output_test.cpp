// What a finished job leaves: its stamp payload, and the three report files, whole or not at
// all, named exactly when they exist, in a folder checked before the job, signed.
#include "job/report_output.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <tuple>

#include "base/ecdsa_p256.h"
#include "base/file_system.h"
#include "base/text.h"
#include "job/erase_job_driver.h"
#include "job/report_signing.h"
#include "job/stamp_payload_builder.h"
#include "report/report_fingerprint.h"
#include "report/sample_report.h"
#include "stamp/stamp_texts.h"
#include "support/file_bytes.h"
#include "support/loop_device.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::FileNamesIn;
using testing::TempDir;
using testing::U8;

std::string ReadFileBytes(const std::wstring& path) {
  return testing::ReadTextFile(std::filesystem::path(path));
}

ReportData FinishedJob(const std::wstring& folder = {}) {
  ReportData result = testing::SampleReport();
  result.config.outputFolder = folder;
  result.stamp.certificateId = L"must not be used";
  return result;
}

TEST(SaveReports, GivesTheJobAnIdAndWritesThreeWholeFilesNamedAfterIt) {
  TempDir dir;
  const std::wstring folder = JoinPath(dir.File("nested"), L"certificates");
  ReportData report = FinishedJob(folder);
  report.certificateId.clear();
  // Text without a UTF-8 form (an unpaired surrogate, a zero) still gives whole certificates.
  report.config.operatorName.push_back(static_cast<wchar_t>(0xD800));
  report.config.notes = std::wstring(L"before") + L'\0' + L"after";
  ASSERT_TRUE(SaveReports(report));
  ASSERT_EQ(report.certificateId.size(), 29u);
  const std::string base = U8(JoinPath(folder, report.certificateId));
  EXPECT_EQ(U8(report.htmlPath + L"|" + report.txtPath + L"|" + report.jsonPath),
            base + "_Certificate.html|" + base + "_AuditLog.txt|" + base + "_Report.json");
  EXPECT_EQ(report.sha256Fingerprint, ComputeReportFingerprint(report));
  EXPECT_EQ(report.stamp.certificateId, report.certificateId);
  EXPECT_FALSE(report.stamp.hardware.processor.empty());
  EXPECT_EQ(FileNamesIn(std::filesystem::path(folder)).size(), 3u);  // no temporary file is left

  const std::string html = ReadFileBytes(report.htmlPath);
  EXPECT_TRUE(html.starts_with("<!DOCTYPE html>")) << html.substr(0, 20);  // no byte-order mark
  EXPECT_TRUE(html.ends_with("</html>\n"));
  EXPECT_NE(html.find("before\xEF\xBF\xBD"
                      "after"),
            std::string::npos);
  EXPECT_NE(ReadFileBytes(report.jsonPath).find("\"山田 太郎\xEF\xBF\xBD\""), std::string::npos);
  EXPECT_NE(ReadFileBytes(report.txtPath).find("山田 太郎\xEF\xBF\xBD / "), std::string::npos);

  // A folder where the JSON report goes fails exactly that file: the record names the two that
  // exist, and no temporary file is left.
  std::filesystem::remove(std::filesystem::path(report.jsonPath));
  const std::wstring json = report.jsonPath;
  ASSERT_TRUE(CreateFolderTree(json));
  EXPECT_FALSE(SaveReports(report));
  EXPECT_TRUE(ReadFileBytes(report.htmlPath).ends_with("</html>\n"));
  EXPECT_TRUE(report.jsonPath.empty());
  EXPECT_EQ(MissingReportFiles(report),
            std::vector<std::wstring>{report.certificateId + L"_Report.json"});
  EXPECT_EQ(FileNamesIn(std::filesystem::path(folder)).size(), 3u);
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(json)));
}

TEST(PrepareReportFolder, MakesTheFolderLeavesNoTestFileAndTakesLongPaths) {
  TempDir dir;
  EraseJobConfig config;
  config.outputFolder = JoinPath(dir.File("a"), L"b");
  std::wstring folder;
  ASSERT_TRUE(PrepareReportFolder(config, folder));
  EXPECT_EQ(folder, config.outputFolder);
  EXPECT_TRUE(FileNamesIn(std::filesystem::path(folder)).empty());
#ifndef _WIN32
  // A pipe under a name the write test could take is neither written into nor removed.
  const std::string pipe = U8(folder) + "/_tvde_write_test.tmp";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);  // so no open of it waits
  EXPECT_TRUE(PrepareReportFolder(config, folder));
  EXPECT_EQ(FileNamesIn(std::filesystem::path(U8(folder))),
            std::set<std::string>{"_tvde_write_test.tmp"});
  char byte = 0;
  EXPECT_LE(read(reader, &byte, 1), 0);  // nothing came through
  close(reader);
#endif

#ifdef _WIN32
  // A device in any namespace holds no files, however it is spelt; a folder's long form does.
  for (const wchar_t* device : {L"\\\\.\\PhysicalDrive1", L"\\\\./PhysicalDrive1",
                                L"\\\\?\\globalroot\\Device\\Harddisk1", L"\\??\\C:"}) {
    EXPECT_FALSE(ReportFolderProblem(device).empty()) << U8(device);
  }
  EXPECT_EQ(ReportFolderProblem(L"\\\\?\\C:\\certs"), L"");
#endif

  // A folder past the old Windows path limit (a deep folder on a USB stick) takes reports.
  std::wstring deep = dir.File("long");
  while (deep.size() < 300)
    deep = JoinPath(deep, L"certificate-folder-level");
  ReportData report = FinishedJob(deep);
  ASSERT_TRUE(PrepareReportFolder(report.config, folder));
  ASSERT_TRUE(SaveReports(report)) << U8(deep);
  EXPECT_TRUE(ReadFileBytes(OsFilePath(report.jsonPath)).starts_with("{\n"));
}

#ifndef _WIN32
// A write that fails part-way (no room left) leaves no part of a report, and no job starts.
TEST(SaveReports, AFullFileSystemLeavesNoPartOfAReportAndNoJobStarts) {
  if (!testing::LoopDevicesUnavailable().empty()) GTEST_SKIP() << "SKIPPED: needs root";
  TempDir dir;
  const auto full = testing::Mount::Tmpfs((dir.path() / "full").string(), 8);
  if (!full.mounted()) GTEST_SKIP() << "SKIPPED: tmpfs cannot be mounted here";
  testing::WriteFilledFile(dir.path() / "full" / "filler", 8192, 1);
  ReportData report = FinishedJob(dir.File("full"));
  std::wstring folder;
  EXPECT_FALSE(PrepareReportFolder(report.config, folder));
  EXPECT_FALSE(SaveReports(report));
  EXPECT_EQ(MissingReportFiles(report).size(), 3u);
  EXPECT_EQ(FileNamesIn(dir.path() / "full"), std::set<std::string>{"filler"});
}
#endif

TEST(BuildStampPayload, TakesEveryFieldFromTheResultAndItsRequest) {
  HardwareProfile hardware;
  hardware.model = L"Collected Model";
  const StampPayload p = BuildStampPayload(FinishedJob(), hardware);
  EXPECT_EQ(p.incomplete, 0);
  EXPECT_EQ(U8(p.softwareVersion), "Toreval Disk Eraser Suite v1.3.0");
  // The record lists the other fields in their order: ID, date, standard, verification, disk
  // model, serial and capacity, operator, organisation, fingerprint, passes, hardware.
  const std::string fields =
      "TVDE_STAMP_V2|TVDE-20260105-143012-9A0B1C2D|2026-01-05 16:05:47|DoD 5220.22-M (3 Passes - "
      "米国国防総省標準)|PASSED (256/256 サンプル一致)|Samsung SSD 870 EVO 1TB|S6PTNM0T402917K|"
      "931.51 GB|山田 太郎|東京リサイクルセンター|8F14E45FCEEA167A5A36DEDD4BEA2543B3C8A0F6D1E2C7B9A4F3E2D1C0B9A877|3|||"
      "Collected Model|";
  EXPECT_EQ(BuildStampRecord(p).substr(0, fields.size()), fields);
  for (int32_t status : {kStatusCancelled, kStatusFailed, 0}) {
    ReportData other = FinishedJob();
    other.statusCode = status;
    EXPECT_EQ(BuildStampPayload(other, {}).incomplete, 1) << status;
  }
}

// Before the stamp step the state is what the job is asked for; afterwards what became of the
// disk, so no payload calls a disk stamped or all zeroes that is not.
TEST(BuildStampPayload, StateFollowsTheRequestUntilTheJobSaysWhatBecameOfTheDisk) {
  const std::string active = "Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)";
  const std::string pureZero = "Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)";
  const std::string simulation = "Simulation / Dry-Run Report Stamp";
  using Case = std::tuple<ExecutionMode, PostEraseState, const wchar_t*, std::string>;
  constexpr auto kReal = ExecutionMode::RealWrite, kSimulation = ExecutionMode::Simulation;
  constexpr auto kStamp = PostEraseState::WriteStamp, kZero = PostEraseState::PureZero;
  // clang-format off
  const Case cases[] = {
      {kReal, kStamp, L"", active}, {kSimulation, kStamp, L"", simulation},
      {static_cast<ExecutionMode>(7), kStamp, L"", simulation}, {kReal, kZero, L"", pureZero},
      {kReal, kStamp, kStampActive, active}, {kReal, kStamp, kStampWriteSkipped, "STAMP WRITE SKIPPED"},
      {kReal, kZero, kStampNotStamped, "NOT STAMPED"}, {kReal, kZero, kStampPureZero, pureZero},
      {kSimulation, kZero, kStampSimulatedPureZero, pureZero},
      {kSimulation, kStamp, kStampSimulatedUnverified, simulation},
  };
  // clang-format on
  for (const auto& [mode, post, outcome, state] : cases) {
    ReportData result = FinishedJob();
    result.config.executionMode = mode;
    result.config.postEraseState = post;
    result.diskStampStatus = outcome;
    EXPECT_EQ(U8(BuildStampPayload(result, {}).stampState), state) << U8(outcome);
  }
}

TEST(ReportOutputFolder, DefaultsToCertificatesBesideTheProgramAndTakesTheLongPathForm) {
  EraseJobConfig config;
  const std::string sep = U8(std::wstring(1, kPathSeparator));
  EXPECT_EQ(U8(ReportOutputFolderFor(config, L"C:\\Tools\\TorevalDiskEraser.exe")),
            "C:\\Tools" + sep + "Certificates");
  EXPECT_EQ(U8(ReportOutputFolderFor(config, L"/opt/tvde/tvde-cli")),
            "/opt/tvde" + sep + "Certificates");
  EXPECT_EQ(U8(ReportOutputFolderFor(config, L"TorevalDiskEraser.exe")), "Certificates");
  config.outputFolder = L"D:\\Logs";
  EXPECT_EQ(U8(ReportOutputFolderFor(config, L"C:\\Tools\\x.exe")), "D:\\Logs");
  EXPECT_EQ(JoinPath(L"D:\\", L"x.txt"), std::wstring(L"D:\\") + kPathSeparator + L"x.txt");
  // The long form of each kind of path.
  // clang-format off
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:\\Logs\\a.json", L"\\\\?\\C:\\Logs\\a.json"},
      {L"e:/Toreval_Erasure_Logs/a.txt", L"\\\\?\\e:\\Toreval_Erasure_Logs\\a.txt"},
      {L"\\\\server\\share\\certs", L"\\\\?\\UNC\\server\\share\\certs"},
      {L"\\\\?\\C:\\already", L"\\\\?\\C:\\already"}, {L"\\\\.\\PhysicalDrive1", L"\\\\.\\PhysicalDrive1"},
      {L"relative\\certs", L"relative\\certs"}};
  // clang-format on
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(U8(ExtendedLengthPath(path)), U8(expected)) << U8(path);
  }
}

// A configured key signs every save; a key that stops working takes the old signature away
// instead of leaving one that no longer fits.
TEST(ReportSigning, EachSaveSignsOrRemovesTheSignatureItCanNoLongerMake) {
  TempDir dir;
  EcdsaKeyPair keys;
  std::string error;
  ASSERT_TRUE(GenerateEcdsaP256KeyPair(keys, error)) << error;
  ASSERT_TRUE(WriteNewFile(dir.File("key.pem"), keys.privateKeyPem, FileAccess::OwnerOnly, error));

  ReportData report;
  report.statusCode = kStatusCompleted;
  report.config.outputFolder = dir.File("certs");
  report.config.signingKeyFile = dir.File("key.pem");
  ASSERT_TRUE(SaveReports(report));
  const std::wstring signature = report.signaturePath;
  EXPECT_EQ(signature, JoinPath(dir.File("certs"), report.certificateId + L"_Signature.json"));
  EXPECT_TRUE(report.signatureError.empty() && PathExists(signature));

  // Saved again with the key gone: the reports are written, the stale signature removed.
  report.config.signingKeyFile = dir.File("moved.pem");
  ASSERT_TRUE(SaveReports(report));
  EXPECT_TRUE(report.signaturePath.empty());
  EXPECT_EQ(U8(report.signatureError),
            "the signing key file " + U8(dir.File("moved.pem")) + " does not exist");
  EXPECT_TRUE(PathExists(report.jsonPath));
  EXPECT_FALSE(PathExists(signature));

  // No files, nothing to sign and no complaint.
  report.config.logOutputDisabled = 1;
  ASSERT_TRUE(SaveReports(report));
  EXPECT_TRUE(report.signaturePath.empty() && report.signatureError.empty());
}

}  // namespace
}  // namespace tvde
