// tvde-cli verify: finds the report sets a path names and prints the checks of each, as text
// lines or as JSON.
#include <algorithm>
#include <filesystem>
#include <set>

#include "base/ecdsa_p256.h"
#include "base/file_system.h"
#include "base/text.h"
#include "cli_command.h"
#include "cli_signing.h"
#include "report/json_report.h"
#include "report/report_file_names.h"
#include "report/report_labels.h"
#include "report/report_set_check.h"

namespace tvde::cli {
namespace {

struct SetLocation {
  std::filesystem::path folder;
  std::wstring certificateId;
};

struct SetResult {
  SetLocation location;
  std::vector<SetCheck> checks;
  std::optional<ReportData> job;  // what the set records; nothing when it cannot be read
};

// The certificate ID of a set file's name; empty when the name ends in no set suffix.
std::wstring IdOfSetFile(const std::wstring& name) {
  for (size_t i = 0; i < kSetFileCount; ++i) {
    const std::wstring_view suffix = SetFileSuffix(static_cast<SetFile>(i));
    if (name.size() > suffix.size() && name.ends_with(suffix)) {
      return name.substr(0, name.size() - suffix.size());
    }
  }
  return {};
}

// PATH as a folder, one file of a set, or a folder and the start of certificate IDs.
bool FindReportSets(const std::string& path, std::vector<SetLocation>& sets, std::string& error) {
  const std::filesystem::path given = FsPath(path);
  std::error_code ec;
  std::filesystem::path folder = given;
  std::wstring prefix;
  if (std::filesystem::is_regular_file(given, ec)) {
    const std::wstring id = IdOfSetFile(WideOf(given.filename()));
    if (id.empty()) {
      error = "'" + path + "' is not a report, audit log, certificate or signature file";
      return false;
    }
    sets.push_back({given.parent_path().empty() ? "." : given.parent_path(), id});
    return true;
  }
  if (!std::filesystem::is_directory(given, ec)) {
    folder = given.parent_path().empty() ? std::filesystem::path(".") : given.parent_path();
    prefix = WideOf(given.filename());
    if (!std::filesystem::is_directory(folder, ec)) {
      error = "'" + path + "' is neither a file nor a folder";
      return false;
    }
  }
  std::set<std::wstring> ids;
  for (auto it = std::filesystem::directory_iterator(folder, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::wstring name = WideOf(it->path().filename());
    const std::wstring id = IdOfSetFile(name);
    if (!id.empty() && name.starts_with(prefix)) ids.insert(id);
  }
  if (ec) {
    error = "cannot list the folder of '" + path + "'";
    return false;
  }
  if (ids.empty()) {
    error = "no report files found for '" + path + "'";
    return false;
  }
  for (const std::wstring& id : ids)
    sets.push_back({folder, id});
  return true;
}

ReportSetContents ReadSet(const SetLocation& location) {
  ReportSetContents set;
  set.certificateId = location.certificateId;
  for (size_t i = 0; i < kSetFileCount; ++i) {
    const std::wstring path = JoinPath(
        WideOf(location.folder), location.certificateId + SetFileSuffix(static_cast<SetFile>(i)));
    std::string bytes;
    switch (ReadRegularFile(path, kMaxReportSetFileBytes, bytes)) {
      case FileReadResult::Read:
        set.files[i] = std::move(bytes);
        break;
      case FileReadResult::Missing:
        break;
      case FileReadResult::TooLarge:
        set.readErrors[i] = "larger than any report this program writes";
        break;
      case FileReadResult::NotARegularFile:
        set.readErrors[i] = "not a regular file";
        break;
      case FileReadResult::Failed:
        set.readErrors[i] = "cannot be read";
        break;
    }
  }
  return set;
}

bool ReadSigner(const std::string& path, ExpectedSigner& signer, std::string& error) {
  std::string pem;
  if (ReadRegularFile(Utf8ToWide(path), kMaxKeyFileBytes, pem) != FileReadResult::Read) {
    error = "--key: cannot read '" + path + "'";
    return false;
  }
  if (!DecodePublicKeyPem(pem, signer.spki, error)) {
    error = "--key: '" + path + "': " + error;
    return false;
  }
  signer.name = path;
  return true;
}

const char* StateText(CheckState state) {
  switch (state) {
    case CheckState::Passed:
      return "OK";
    case CheckState::Failed:
      return "FAILED";
    case CheckState::NotChecked:
    default:
      return "not checked";
  }
}

// What the set records: real or simulated, the status words every report gives it, the verdict.
std::string Outcome(const std::optional<ReportData>& job) {
  if (!job) return "unknown (the JSON report or the certificate cannot be read)";
  const bool real = job->config.executionMode != ExecutionMode::Simulation;
  return std::string(real ? "real erasure, " : "simulation (nothing written), ") +
         WideToUtf8(StatusBadge(*job).first) + FormatPrintf(" [status %d]", job->statusCode) +
         ", verification " + WideToUtf8(job->verificationResult);
}

// What the checks proved: the set is consistent, and by whom it is signed as far as was checked.
std::string Proven(const std::vector<SetCheck>& checks) {
  if (!SetVerified(checks)) return "NOT VERIFIED";
  for (const SetCheck& check : checks) {
    if (check.name != "signing key") continue;
    return check.state == CheckState::Passed
               ? "VERIFIED, signed by " + check.detail
               : std::string("CONSISTENT, signed by a key not checked (use --key)");
  }
  return "CONSISTENT, UNSIGNED";
}

// --require-erased: the set must record a completed real erasure whose verification passed.
SetCheck ErasureCheck(const std::optional<ReportData>& job) {
  if (job && RecordsVerifiedErasure(*job)) {
    return {"erasure", CheckState::Passed, "a completed real erasure, verification passed"};
  }
  return {"erasure", CheckState::Failed,
          "no completed real erasure with a passed verification is recorded"};
}

void PrintText(std::ostream& out, const std::vector<SetResult>& results) {
  size_t verified = 0;
  for (const SetResult& result : results) {
    out << "== " << TerminalSafe(WideToUtf8(result.location.certificateId)) << " in "
        << TerminalSafe(WideToUtf8(WideOf(result.location.folder))) << "\n";
    for (const SetCheck& check : result.checks) {
      std::string name = check.name;
      name.resize(std::max<size_t>(name.size(), 14), ' ');
      out << "  " << name << " : " << StateText(check.state)
          << (check.detail.empty() ? "" : " - " + TerminalSafe(check.detail)) << "\n";
    }
    verified += SetVerified(result.checks) ? 1 : 0;
    out << "  outcome        : " << TerminalSafe(Outcome(result.job)) << "\n"
        << "  result         : " << TerminalSafe(Proven(result.checks)) << "\n";
  }
  out << verified << " of " << results.size()
      << " report set(s) passed every check that was made.\n";
}

std::string JsonText(const std::string& utf8) {
  std::string text = "\"";
  text += WideToUtf8(EscapeJsonString(Utf8ToWide(utf8)));
  text += '"';
  return text;
}

std::string JsonOutcome(const std::optional<ReportData>& job) {
  if (!job) return "null";
  return "{\"executionMode\": " +
         JsonText(WideToUtf8(ExecutionModeJsonLabel(job->config.executionMode))) +
         ", \"statusCode\": " + std::to_string(job->statusCode) +
         ", \"status\": " + JsonText(WideToUtf8(StatusBadge(*job).first)) +
         ", \"verification\": " + JsonText(WideToUtf8(job->verificationResult)) +
         ", \"erased\": " + (RecordsVerifiedErasure(*job) ? "true" : "false") + "}";
}

void PrintJson(std::ostream& out, const std::vector<SetResult>& results) {
  bool all = true;
  for (const SetResult& result : results)
    all = all && SetVerified(result.checks);
  out << "{\n  \"verified\": " << (all ? "true" : "false") << ",\n  \"sets\": [\n";
  for (size_t s = 0; s < results.size(); ++s) {
    const SetResult& result = results[s];
    out << "    {\n"
        << "      \"certificateId\": " << JsonText(WideToUtf8(result.location.certificateId))
        << ",\n"
        << "      \"folder\": " << JsonText(WideToUtf8(WideOf(result.location.folder))) << ",\n"
        << "      \"verified\": " << (SetVerified(result.checks) ? "true" : "false") << ",\n"
        << "      \"result\": " << JsonText(Proven(result.checks)) << ",\n"
        << "      \"outcome\": " << JsonOutcome(result.job) << ",\n"
        << "      \"checks\": [\n";
    for (size_t c = 0; c < result.checks.size(); ++c) {
      const SetCheck& check = result.checks[c];
      out << "        {\"name\": " << JsonText(check.name)
          << ", \"result\": " << JsonText(StateText(check.state))
          << ", \"detail\": " << JsonText(check.detail) << "}"
          << (c + 1 < result.checks.size() ? ",\n" : "\n");
    }
    out << "      ]\n    }" << (s + 1 < results.size() ? ",\n" : "\n");
  }
  out << "  ]\n}\n";
}

}  // namespace

int VerifyCommand(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--key", "--json", "--require-erased"}, args, error)) {
    return BadInput(err, error);
  }
  if (args.positional.size() != 1) return BadInput(err, "verify needs exactly one PATH");
  std::optional<ExpectedSigner> signer;
  if (const std::string* key = args.Value("--key")) {
    signer.emplace();
    if (!ReadSigner(*key, *signer, error)) return BadInput(err, error);
  }
  std::vector<SetLocation> sets;
  if (!FindReportSets(args.positional[0], sets, error)) return BadInput(err, error);

  std::vector<SetResult> results;
  bool all = true;
  for (const SetLocation& location : sets) {
    const ReportSetContents contents = ReadSet(location);
    SetResult result{location, CheckReportSet(contents, signer), ReadRecordedJob(contents)};
    if (args.Flag("--require-erased")) result.checks.push_back(ErasureCheck(result.job));
    all = all && SetVerified(result.checks);
    results.push_back(std::move(result));
  }
  args.Flag("--json") ? PrintJson(out, results) : PrintText(out, results);
  return all ? kExitOk : kExitFailed;
}

std::string SigningUsageText() {
  return R"(  keygen --out DIR
      Makes an ECDSA P-256 signing key pair in DIR (created if missing):
      signing_private_key.pem (PKCS#8, readable by its owner only) and
      signing_public_key.pem (for auditors). Existing key files are never replaced.
      Name the private key in the settings (SigningKeyFile in section [Signing] of
      TorevalDiskEraser.ini) and every report set is signed: <certificate ID>_Signature.json
      beside the three reports.
  verify PATH [--key PUBLIC.pem] [--require-erased] [--json]
      Checks report sets. PATH is a folder, a folder and the start of certificate IDs
      (certs/TVDE-2026), or one file of a set. For each set it prints one line per check: the
      three files exist and agree field for field, the fingerprint is the one their fields give,
      and, when the set is signed, the files are the signed ones and the signature verifies;
      with --key the signature must be by that public key (an unsigned set then fails). It
      prints what the set records (real erasure or simulation, status, verification verdict)
      and what was proven: VERIFIED (signed by the key given), CONSISTENT, signed by a key not
      checked, or CONSISTENT, UNSIGNED. With --require-erased a set must also record a completed
      real erasure whose verification passed.
      Exit status: 0 no check failed, 1 a check failed, 2 bad input (nothing found).
)";
}

}  // namespace tvde::cli
