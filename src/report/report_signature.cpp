// Writing and strict reading of the signature file and its manifest.
#include "report/report_signature.h"

#include "base/sha256.h"
#include "base/text.h"
#include "report/json_lines.h"
#include "report/json_report.h"

namespace tvde {
namespace {

constexpr std::string_view kFileStart = "{\n";

std::wstring Member(const wchar_t* indentAndKey, const std::wstring& value, bool last) {
  return std::wstring(indentAndKey) + L": \"" + EscapeJsonString(value) +
         (last ? L"\"\n" : L"\",\n");
}

}  // namespace

std::string BuildSignatureManifest(const ReportSignature& s) {
  std::wstring out = L"{\n";
  out += Member(L"  \"certificateId\"", s.certificateId, false);
  out += Member(L"  \"algorithm\"", s.algorithm, false);
  out += Member(L"  \"publicKey\"", s.publicKeyPem, false);
  out += Member(L"  \"publicKeySha256\"", s.publicKeySha256, false);
  out += L"  \"files\": {\n";
  for (size_t i = 0; i < s.files.size(); ++i) {
    out += Member((L"    \"" + EscapeJsonString(s.files[i].name) + L"\"").c_str(),
                  s.files[i].sha256, i + 1 == s.files.size());
  }
  out += L"  }\n";
  out += L"}\n";
  return WideToUtf8(ReplaceUnencodable(out));
}

std::string BuildSignatureFile(const ReportSignature& s) {
  const std::string manifest = BuildSignatureManifest(s);
  return std::string(kFileStart) + WideToUtf8(Member(L"  \"signature\"", s.signature, false)) +
         manifest.substr(kFileStart.size());
}

bool ReadSignatureFile(std::string_view utf8, ReportSignature& signature, std::string& error) {
  std::vector<JsonLineMember> members;
  if (!ReadJsonLines(utf8, members, error)) return false;
  ReportSignature s;
  const auto text = [&](const char* path, std::wstring& field) {
    const std::wstring* value = FindJsonString(members, path);
    if (value != nullptr) field = *value;
    return value != nullptr;
  };
  size_t fileCount = 0;
  for (const JsonLineMember& member : members) {
    if (member.path.rfind("files.", 0) != 0 || !member.isString) continue;
    if (fileCount == s.files.size()) {
      error = "more than three files";
      return false;
    }
    s.files[fileCount].name = Utf8ToWide(member.path.substr(6));
    s.files[fileCount].sha256 = member.value;
    ++fileCount;
  }
  if (!text("signature", s.signature) || !text("certificateId", s.certificateId) ||
      !text("algorithm", s.algorithm) || !text("publicKey", s.publicKeyPem) ||
      !text("publicKeySha256", s.publicKeySha256) || fileCount != s.files.size()) {
    error = "a member is missing";
    return false;
  }
  if (BuildSignatureFile(s) != utf8) {
    error = "the file is not laid out as this program writes it";
    return false;
  }
  signature = std::move(s);
  return true;
}

std::wstring LowerHexSha256(std::span<const uint8_t> bytes) {
  const Sha256Digest digest = ComputeSha256(bytes);
  if (digest.status != Sha256Status::Ok) return {};
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring hex;
  for (uint8_t b : digest.bytes) {
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 0x0F]);
  }
  return hex;
}

std::wstring LowerHexSha256(std::string_view bytes) {
  return LowerHexSha256(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace tvde
