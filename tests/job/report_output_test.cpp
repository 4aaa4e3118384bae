// Certificate output: completing the record and writing the three files.
#include "job/report_output.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "base/file_system.h"
#include "base/host_environment.h"
#include "base/text.h"
#include "report/audit_log_text.h"
#include "report/report_fingerprint.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::TempDir;
using testing::U8;

std::string ReadFileBytes(const std::wstring& path) {
#ifdef _WIN32
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
#else
  std::ifstream in(U8(path), std::ios::binary);
#endif
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ReportData FinishedJob(const std::wstring& folder) {
  ReportData report;
  report.startTime = L"2026-01-05 14:30:12";
  report.endTime = L"2026-01-05 14:31:00";
  report.statusCode = 3;
  report.passesCompleted = 1;
  report.passesPlanned = 1;
  report.verificationResult = L"PASSED (All Sampled Sectors Verified Clean)";
  report.config.standard = EraseStandard::ZeroFill;
  report.config.outputFolder = folder;
  report.config.operatorName = L"山田";
  report.config.disk.model = L"Disk Model";
  report.config.disk.sizeBytes = 1ull << 33;
  return report;
}

TEST(SaveReports, GivesTheJobAnIdAndWritesThreeFilesNamedAfterIt) {
  TempDir dir;
  const std::wstring folder = dir.File("nested") + kPathSeparator + L"certificates";
  ReportData report = FinishedJob(folder);
  ASSERT_TRUE(SaveReports(report));
  ASSERT_EQ(report.certificateId.size(), 29u);
  EXPECT_EQ(U8(report.htmlPath),
            U8(folder + kPathSeparator + report.certificateId) + "_Certificate.html");
  EXPECT_EQ(U8(report.txtPath),
            U8(folder + kPathSeparator + report.certificateId) + "_AuditLog.txt");
  EXPECT_EQ(U8(report.jsonPath),
            U8(folder + kPathSeparator + report.certificateId) + "_Report.json");
  EXPECT_EQ(report.sha256Fingerprint, ComputeReportFingerprint(report));
  EXPECT_EQ(report.stamp.certificateId, report.certificateId);
  EXPECT_FALSE(report.stamp.hardware.processor.empty());

  const std::string html = ReadFileBytes(report.htmlPath);
  const std::string txt = ReadFileBytes(report.txtPath);
  const std::string json = ReadFileBytes(report.jsonPath);
  EXPECT_TRUE(html.starts_with("<!DOCTYPE html>")) << html.substr(0, 20);  // no byte-order mark
  EXPECT_TRUE(txt.starts_with("====")) << txt.substr(0, 20);
  EXPECT_TRUE(json.starts_with("{\n"));
  EXPECT_NE(txt.find("山田 / "), std::string::npos);  // Japanese as UTF-8
  EXPECT_NE(json.find(U8(report.sha256Fingerprint)), std::string::npos);
}

TEST(SaveReports, KeepsAnExistingIdAndReplacesItsFiles) {
  TempDir dir;
  ReportData report = FinishedJob(dir.File("out"));
  report.certificateId = L"TVDE-20260105-143012-9A0B1C2D";
  ASSERT_TRUE(SaveReports(report));
  const std::string first = ReadFileBytes(report.txtPath);
  report.verificationResult = L"FAILED (Sector Read Error)";
  report.statusCode = 5;
  ASSERT_TRUE(SaveReports(report));
  EXPECT_EQ(U8(report.certificateId), "TVDE-20260105-143012-9A0B1C2D");
  const std::string second = ReadFileBytes(report.txtPath);
  // The shorter second text replaced the first completely (no tail of the old file left).
  EXPECT_LT(second.size(), first.size());
  EXPECT_EQ(second, WideToUtf8(BuildAuditLogText(report)));
}

TEST(SaveReports, DisabledOutputWritesNothingButStillCompletesTheRecord) {
  TempDir dir;
  const std::wstring folder = dir.File("never");
  ReportData report = FinishedJob(folder);
  report.config.logOutputDisabled = 1;
  report.htmlPath = L"stale";
  ASSERT_TRUE(SaveReports(report));
  EXPECT_TRUE(report.htmlPath.empty());
  EXPECT_TRUE(report.txtPath.empty());
  EXPECT_TRUE(report.jsonPath.empty());
  EXPECT_FALSE(PathExists(folder));
  EXPECT_EQ(report.sha256Fingerprint.size(), 64u);
  EXPECT_EQ(report.stamp.certificateId, report.certificateId);
}

TEST(SaveReports, AFolderThatCannotBeCreatedFailsWithEmptyPaths) {
  TempDir dir;
  const std::wstring blocker = dir.File("a-file");
  { std::ofstream(dir.path() / "a-file") << "not a folder"; }
  ReportData report = FinishedJob(blocker + kPathSeparator + L"sub");
  report.htmlPath = L"stale";
  EXPECT_FALSE(SaveReports(report));
  EXPECT_TRUE(report.htmlPath.empty());
  EXPECT_TRUE(report.txtPath.empty());
  EXPECT_TRUE(report.jsonPath.empty());
  EXPECT_EQ(report.sha256Fingerprint.size(), 64u);  // the record is still completed
}

TEST(SaveReports, OneFileThatCannotBeWrittenStillLeavesTheOthersWritten) {
  TempDir dir;
  ReportData report = FinishedJob(dir.File("out"));
  report.certificateId = L"TVDE-20260105-143012-9A0B1C2D";
  // A folder where the JSON report should go makes exactly that file fail.
  ASSERT_TRUE(CreateFolderTree(dir.File("out") + kPathSeparator +
                               L"TVDE-20260105-143012-9A0B1C2D_Report.json"));
  EXPECT_FALSE(SaveReports(report));
  EXPECT_TRUE(report.htmlPath.empty());
  EXPECT_TRUE(report.jsonPath.empty());
  const std::wstring base = dir.File("out") + kPathSeparator + L"TVDE-20260105-143012-9A0B1C2D";
  EXPECT_TRUE(ReadFileBytes(base + L"_Certificate.html").ends_with("</html>\n"));
  EXPECT_TRUE(ReadFileBytes(base + L"_AuditLog.txt").starts_with("===="));
}

TEST(SaveReports, ABrokenSurrogateInANameDoesNotCostTheCertificates) {
  TempDir dir;
  ReportData report = FinishedJob(dir.File("out"));
  std::wstring name = L"Op";
  name.push_back(static_cast<wchar_t>(0xD800));  // an unpaired surrogate (invalid everywhere)
  report.config.operatorName = name;
  ASSERT_TRUE(SaveReports(report));
  EXPECT_NE(ReadFileBytes(report.txtPath).find("Op\xEF\xBF\xBD / "), std::string::npos);
  EXPECT_NE(ReadFileBytes(report.jsonPath).find("\"Op\xEF\xBF\xBD\""), std::string::npos);
}

TEST(SaveReports, AZeroCharacterInANoteDoesNotCutTheCertificateShort) {
  TempDir dir;
  ReportData report = FinishedJob(dir.File("out"));
  report.config.notes = std::wstring(L"before") + L'\0' + L"after";
  ASSERT_TRUE(SaveReports(report));
  const std::string html = ReadFileBytes(report.htmlPath);
  EXPECT_TRUE(html.ends_with("</html>\n"));
  EXPECT_NE(html.find("before\xEF\xBF\xBD"
                      "after"),
            std::string::npos);
}

TEST(ReportOutputFolder, DefaultsToCertificatesBesideTheProgram) {
  EraseJobConfig config;
  const std::string sep = U8(std::wstring(1, kPathSeparator));
  EXPECT_EQ(U8(ReportOutputFolderFor(config, L"C:\\Tools\\TorevalDiskEraser.exe")),
            "C:\\Tools" + sep + "Certificates");
  EXPECT_EQ(U8(ReportOutputFolderFor(config, L"/opt/tvde/tvde-cli")),
            "/opt/tvde" + sep + "Certificates");
  EXPECT_EQ(U8(ReportOutputFolderFor(config, L"TorevalDiskEraser.exe")), "Certificates");
  EXPECT_EQ(U8(ReportOutputFolderFor(config, L"")), "Certificates");
  config.outputFolder = L"D:\\Logs";
  EXPECT_EQ(U8(ReportOutputFolderFor(config, L"C:\\Tools\\x.exe")), "D:\\Logs");
  EXPECT_EQ(U8(ReportOutputFolder(config)), "D:\\Logs");
}

TEST(JoinPath, AlwaysAddsTheSeparator) {
  EXPECT_EQ(JoinPath(L"D:\\Logs", L"x.txt"), std::wstring(L"D:\\Logs") + kPathSeparator + L"x.txt");
  EXPECT_EQ(JoinPath(L"D:\\", L"x.txt"), std::wstring(L"D:\\") + kPathSeparator + L"x.txt");
}

}  // namespace
}  // namespace tvde
