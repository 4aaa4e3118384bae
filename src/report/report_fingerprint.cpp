// Fingerprint text and its SHA-256 digest.
#include "report/report_fingerprint.h"

#include "base/text.h"
#include "erase/erase_standard.h"

namespace tvde {

std::wstring FormatSha256Digest(const Sha256Digest& digest) {
  switch (digest.status) {
    case Sha256Status::Ok:
      break;
    case Sha256Status::Unavailable:
      return kSha256Unavailable;
    case Sha256Status::Error:
    default:
      return kSha256Error;
  }
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring hex;
  hex.reserve(digest.bytes.size() * 2);
  for (uint8_t b : digest.bytes) {
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 0x0F]);
  }
  return hex;
}

std::wstring Sha256Hex(std::span<const uint8_t> bytes) {
  return FormatSha256Digest(ComputeSha256(bytes));
}

std::wstring Sha256Hex(const std::string& bytes) {
  return Sha256Hex(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

std::wstring BuildFingerprintText(const ReportData& r) {
  // Texts go in as they are: a "|" inside a field is not protected.
  std::wstring text;
  text += r.certificateId + L"|";
  text += r.startTime + L"|";
  text += r.endTime + L"|";
  text += r.config.disk.model + L"|";
  text += r.config.disk.serialNumber + L"|";
  text += std::to_wstring(r.config.disk.sizeBytes) + L"|";
  text += StandardLabel(r.config.standard) + L"|";
  text += std::to_wstring(r.passesCompleted) + L"/" + std::to_wstring(r.passesPlanned) + L"|";
  text += r.verificationResult + L"|";
  text += std::to_wstring(r.statusCode);
  return text;
}

std::wstring ComputeReportFingerprint(const ReportData& report) {
  return Sha256Hex(WideToUtf8(BuildFingerprintText(report)));
}

}  // namespace tvde
