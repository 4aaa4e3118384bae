#pragma once
// The SHA-256 fingerprint that binds the key facts of a job into one tamper-evident value.

#include <cstdint>
#include <span>
#include <string>

#include "base/sha256.h"
#include "report/report_data.h"

namespace tvde {

inline constexpr const wchar_t* kSha256Unavailable = L"SHA256-UNAVAILABLE";
inline constexpr const wchar_t* kSha256Error = L"SHA256-ERROR";

// 64 upper-case hexadecimal digits, or one of the two markers.
std::wstring Sha256Hex(std::span<const uint8_t> bytes);
std::wstring Sha256Hex(const std::string& bytes);

// The digest as text, or the marker that matches its status.
std::wstring FormatSha256Digest(const Sha256Digest& digest);

// The ten items joined with "|": ID, start, end, disk model, serial, size, standard,
// completed/planned passes, verification result, status code.
std::wstring BuildFingerprintText(const ReportData& report);

// Sha256Hex of the UTF-8 form of BuildFingerprintText.
std::wstring ComputeReportFingerprint(const ReportData& report);

}  // namespace tvde
