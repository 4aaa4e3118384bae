#pragma once
// Checks one report set (the three report files of a certificate ID and, when present, its
// signature file): the files agree with each other, the printed fingerprint is the one their
// fields give, and the signature covers exactly these files and verifies.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "report/report_data.h"

namespace tvde {

enum class SetFile : int32_t { Certificate, AuditLog, JsonReport, Signature };
inline constexpr size_t kSetFileCount = 4;

// Suffix of each file after the certificate ID, in SetFile order.
const wchar_t* SetFileSuffix(SetFile file);

struct ReportSetContents {
  std::wstring certificateId;
  // Contents in SetFile order; empty when the file is missing or could not be read.
  std::array<std::optional<std::string>, kSetFileCount> files;
  // Why a file that exists could not be read (in SetFile order; empty when it was read or is
  // missing).
  std::array<std::string, kSetFileCount> readErrors;
};

// The public key the set must have been signed with.
struct ExpectedSigner {
  std::vector<uint8_t> spki;  // DER SubjectPublicKeyInfo
  std::string name;           // how to name it in messages (the key file)
};

enum class CheckState : int32_t { Passed, Failed, NotChecked };

struct SetCheck {
  std::string name;  // "files", "json report", "audit log", "certificate", "fingerprint",
                     // "signature file", "file hashes", "signature", "signing key"
  CheckState state = CheckState::NotChecked;
  std::string detail;  // UTF-8: what was found, or the exact mismatch
};

std::vector<SetCheck> CheckReportSet(const ReportSetContents& set,
                                     const std::optional<ExpectedSigner>& signer);

// True when no check failed.
bool SetVerified(const std::vector<SetCheck>& checks);

// The job the set records, as its JSON report and its certificate give it (the certificate
// holds the status); nothing when they cannot be read.
std::optional<ReportData> ReadRecordedJob(const ReportSetContents& set);

}  // namespace tvde
