#pragma once
// The file names of a report set: the certificate ID followed by one suffix per file.

#include <cstddef>

namespace tvde {

// More than any report file this program writes; larger files are not read.
inline constexpr size_t kMaxReportSetFileBytes = size_t{64} << 20;

inline constexpr const wchar_t* kCertificateSuffix = L"_Certificate.html";
inline constexpr const wchar_t* kAuditLogSuffix = L"_AuditLog.txt";
inline constexpr const wchar_t* kJsonReportSuffix = L"_Report.json";
inline constexpr const wchar_t* kSignatureSuffix = L"_Signature.json";

}  // namespace tvde
