#pragma once
// The signature file written beside a signed report set, "<certificate ID>_Signature.json":
// the certificate ID, the algorithm, the signer's public key (PEM) and its SHA-256, the SHA-256
// of each of the three report files, and an ECDSA signature over the manifest. The manifest is
// the file without its "signature" line (itself a JSON object), so a verifier needs no JSON
// library to rebuild the signed bytes:
//
//   {
//     "signature": "<base64 DER ECDSA-SHA256 over the manifest>",
//     "certificateId": "TVDE-20260105-143012-9A0B1C2D",
//     "algorithm": "ECDSA-P256-SHA256",
//     "publicKey": "-----BEGIN PUBLIC KEY-----\n...\n-----END PUBLIC KEY-----\n",
//     "publicKeySha256": "<lower-case hex of the DER SubjectPublicKeyInfo's SHA-256>",
//     "files": {
//       "TVDE-..._Certificate.html": "<lower-case hex SHA-256 of the file>",
//       "TVDE-..._AuditLog.txt": "...",
//       "TVDE-..._Report.json": "..."
//     }
//   }
//
// Lines end in LF; the file is UTF-8 without a byte-order mark.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tvde {

inline constexpr const wchar_t* kSignatureAlgorithm = L"ECDSA-P256-SHA256";

struct SignedFileHash {
  std::wstring name;    // file name without folder
  std::wstring sha256;  // 64 lower-case hexadecimal digits
};

struct ReportSignature {
  std::wstring certificateId;
  std::wstring algorithm = kSignatureAlgorithm;
  std::wstring publicKeyPem;
  std::wstring publicKeySha256;
  std::array<SignedFileHash, 3> files;  // certificate, audit log, JSON report
  std::wstring signature;               // base64 of the DER signature
};

// The signed bytes: the file's text without the "signature" line.
std::string BuildSignatureManifest(const ReportSignature& signature);

// The whole file.
std::string BuildSignatureFile(const ReportSignature& signature);

// Reads a signature file; false, with the reason, unless the text is exactly what
// BuildSignatureFile writes for the values it holds.
bool ReadSignatureFile(std::string_view utf8, ReportSignature& signature, std::string& error);

// 64 lower-case hexadecimal digits of the SHA-256 of `bytes`; empty when no digest could be made.
std::wstring LowerHexSha256(std::span<const uint8_t> bytes);
std::wstring LowerHexSha256(std::string_view bytes);

}  // namespace tvde
