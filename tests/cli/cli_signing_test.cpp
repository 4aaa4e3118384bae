// Signed report sets through the console tool: verify on the untouched set and on each kind of
// tampering, and a key that cannot be used. openssl's view of the set is the peer proof's.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <functional>

#include "cli_signing.h"
#include "cli_target.h"
#include "cli_test_fixture.h"
#include "report/audit_log_text.h"
#include "report/html_certificate.h"
#include "report/json_report.h"
#include "report/report_fingerprint.h"
#include "report/report_reading.h"

namespace tvde {
namespace {

using testing::CliFixture;
using testing::CliRun;
using testing::Contains;
using testing::SummaryValue;

namespace fs = std::filesystem;

class CliSigning : public CliFixture {
 protected:
  CliSigning() {
    services_.loadSettings = [this](FolderCreation, std::wstring&) {
      AppSettings settings;
      settings.signingKeyFile = signingKey_;
      return settings;
    };
  }

  // Runs a simulated job into `folder`, signed with `key`; returns the certificate ID.
  std::string SignedJob(const std::string& folder, const std::string& key) {
    signingKey_ = Utf8ToWide(key);
    if (!Exists("disk.img")) Fill("disk.img", 1 << 20, 0x11);
    const CliRun run = Cli({"erase", Path("disk.img"), "--standard", "zero-fill", "--out",
                            Path(folder), "--operator", "Signer", "--organization", "Org"});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    return SummaryValue(run.out, "Certificate ID");
  }

  // The names of the checks that failed, from the text output.
  static std::set<std::string> FailedChecks(const std::string& out) {
    std::set<std::string> failed;
    for (size_t at = out.find(" : FAILED"); at != std::string::npos;
         at = out.find(" : FAILED", at + 1)) {
      const size_t start = out.rfind('\n', at) + 3;  // after the two-space indent
      std::string name = out.substr(start, at - start);
      name.erase(name.find_last_not_of(' ') + 1);
      failed.insert(name);
    }
    return failed;
  }

  std::wstring signingKey_;
};

TEST_F(CliSigning, VerifyPassesTheUntouchedSetAndNamesTheCheckEachTamperingFails) {
#ifndef _WIN32
  // Whatever the umask, the key folder is its owner's alone, also when named with a separator.
  const mode_t mask = umask(0);
  const int made = Cli({"keygen", "--out", Path("keys/")}).code;
  umask(mask);
  ASSERT_EQ(made, 0);
  EXPECT_EQ(fs::status(dir_.path() / "keys").permissions(), fs::perms::owner_all);
#else
  ASSERT_EQ(Cli({"keygen", "--out", Path("keys")}).code, 0);
#endif
  ASSERT_EQ(Cli({"keygen", "--out", Path("other")}).code, 0);
  EXPECT_EQ(Cli({"keygen", "--out", Path("keys")}).code, 2);  // a key pair is never replaced
  const std::string privateKey = Path(std::string("keys/") + cli::kPrivateKeyFileName);
  const std::string publicKey = Path(std::string("keys/") + cli::kPublicKeyFileName);
  const std::string id = SignedJob("a", privateKey);
  const std::string otherId = SignedJob("b", privateKey);
  ASSERT_NE(id, otherId);
  ASSERT_TRUE(Exists("a/" + id + "_Signature.json"));

  const CliRun untouched = Cli({"verify", Path("a"), "--key", publicKey});
  EXPECT_EQ(untouched.code, 0) << untouched.out;
  EXPECT_TRUE(Contains(untouched.out, "  signing key    : OK - " + publicKey)) << untouched.out;
  EXPECT_TRUE(Contains(untouched.out, "1 of 1 report set(s) passed every check that was made."));
  EXPECT_TRUE(FailedChecks(untouched.out).empty());
  // What was proven, and what the set records: this job was a simulation, which erased nothing.
  EXPECT_TRUE(Contains(untouched.out, "  result         : VERIFIED, signed by " + publicKey));
  EXPECT_TRUE(Contains(untouched.out,
                       "  outcome        : simulation (nothing written), SIMULATION — NO DATA "
                       "ERASED (シミュレーション・未消去) [status 3], verification PASSED"));
  EXPECT_TRUE(Contains(Cli({"verify", Path("a")}).out,
                       "  result         : CONSISTENT, signed by a key not checked (use --key)"));
  const CliRun json = Cli({"verify", Path("a"), "--json", "--require-erased"});
  EXPECT_EQ(json.code, 1);
  EXPECT_TRUE(Contains(json.out,
                       "\"outcome\": {\"executionMode\": \"SimulationDryRun\", "
                       "\"statusCode\": 3, "))
      << json.out;
  EXPECT_TRUE(Contains(json.out, "\"name\": \"erasure\", \"result\": \"FAILED\""));

  const auto file = [&](const std::string& folder, const char* suffix) {
    return dir_.path() / folder / (id + suffix);
  };
  const auto rewrite = [&](const std::string& folder, const char* suffix, const std::string& text) {
    WriteText(folder + "/" + id + suffix, text);
  };
  const auto flipByte = [&](const char* suffix) {
    return [&, suffix](const std::string& folder) {
      std::string text = ReadText(folder + "/" + id + suffix);
      const size_t at = text.find("Signer");
      ASSERT_NE(at, std::string::npos);
      text[at + 5] = 's';  // "Signes"
      rewrite(folder, suffix, text);
    };
  };
  // Every file rewritten with an edited verdict and a matching fingerprint, as anyone could.
  const auto forge = [&](const std::string& folder) {
    ReportData r;
    std::string error;
    ASSERT_TRUE(ReadJsonReport(ReadText(folder + "/" + id + "_Report.json"), r, error)) << error;
    ASSERT_TRUE(
        ReadCertificateOnlyFields(ReadText(folder + "/" + id + "_Certificate.html"), r, error));
    r.verificationResult = L"PASSED (256/256 サンプル一致)";
    r.config.disk = TargetDiskReadings(r.stamp.hardware).at(0);
    r.sha256Fingerprint = ComputeReportFingerprint(r);
    rewrite(folder, "_Report.json", ReportFileBytes(BuildJsonReport(r)));
    rewrite(folder, "_AuditLog.txt", ReportFileBytes(BuildAuditLogText(r)));
    rewrite(folder, "_Certificate.html", ReportFileBytes(BuildHtmlCertificate(r)));
  };

  const auto drop = [&](const char* suffix) {
    return [&, suffix](const std::string& folder) { fs::remove(file(folder, suffix)); };
  };
  const auto otherSignature = [&](const std::string& folder) {
    fs::remove(file(folder, "_Signature.json"));
    fs::copy_file(dir_.path() / "b" / (otherId + "_Signature.json"),
                  file(folder, "_Signature.json"));
  };
  const std::string otherKey = Path(std::string("other/") + cli::kPublicKeyFileName);
  struct Case {
    const char* name;
    std::function<void(const std::string& folder)> tamper;
    std::string key;  // --key, when given
    std::set<std::string> failed;
  };
  const std::vector<Case> cases = {
      {"certificate byte", flipByte("_Certificate.html"), "", {"certificate", "file hashes"}},
      {"JSON byte", flipByte("_Report.json"), "", {"audit log", "certificate", "file hashes"}},
      {"edited and fingerprint recomputed", forge, "", {"file hashes"}},
      {"signature file of another job", otherSignature, "", {"signature file"}},
      {"another key asked for", [](const std::string&) {}, otherKey, {"signing key"}},
      {"audit log missing", drop("_AuditLog.txt"), "", {"files", "file hashes"}},
      {"no signature, key asked for", drop("_Signature.json"), publicKey, {"signature file"}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const std::string folder = "case" + std::to_string(i);
    fs::copy(dir_.path() / "a", dir_.path() / folder);
    c.tamper(folder);
    std::vector<std::string> args = {"verify", Path(folder + "/" + id)};
    if (!c.key.empty()) args.insert(args.end(), {"--key", c.key});
    const CliRun run = Cli(args);
    EXPECT_EQ(run.code, 1) << c.name << "\n" << run.out;
    EXPECT_EQ(FailedChecks(run.out), c.failed) << c.name << "\n" << run.out;
  }
}

TEST_F(CliSigning, AKeyThatCannotBeUsedLeavesTheReportsWrittenButUnsigned) {
  Fill("disk.img", 1 << 20, 0x22);
  Fill("broken.pem", 40, 'x');
  signingKey_ = Utf8ToWide(Path("broken.pem"));
  const CliRun run = Cli({"erase", Path("disk.img"), "--out", Path("certs"), "--operator", "O",
                          "--organization", "G"});
  EXPECT_EQ(run.code, 4) << run.out;
  const std::string id = SummaryValue(run.out, "Certificate ID");
  EXPECT_EQ(FilesIn("certs").size(), 3u);
  EXPECT_TRUE(
      SummaryValue(run.out, "Signature").starts_with("MISSING (the signing key cannot be used"))
      << run.out;
  const CliRun verify = Cli({"verify", Path("certs")});
  EXPECT_EQ(verify.code, 0);  // consistent, just unsigned
  EXPECT_TRUE(Contains(verify.out, "  result         : CONSISTENT, UNSIGNED")) << verify.out;
}

}  // namespace
}  // namespace tvde
