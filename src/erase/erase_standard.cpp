// Labels, descriptions and pass plans of the erase standards.
#include "erase/erase_standard.h"

#include "base/text.h"

namespace tvde {
namespace {

PassSpec Fixed(int32_t number, uint8_t value, std::wstring name) {
  return {number, PassKind::FixedByte, {value, 0, 0}, std::move(name)};
}

PassSpec Random(int32_t number, std::wstring name) {
  return {number, PassKind::Random, {0, 0, 0}, std::move(name)};
}

constexpr std::array<std::array<uint8_t, 3>, 27> kGutmannPatterns = {{
    {0x55, 0x55, 0x55}, {0xAA, 0xAA, 0xAA}, {0x92, 0x49, 0x24}, {0x49, 0x24, 0x92},
    {0x24, 0x92, 0x49}, {0x00, 0x00, 0x00}, {0x11, 0x11, 0x11}, {0x22, 0x22, 0x22},
    {0x33, 0x33, 0x33}, {0x44, 0x44, 0x44}, {0x55, 0x55, 0x55}, {0x66, 0x66, 0x66},
    {0x77, 0x77, 0x77}, {0x88, 0x88, 0x88}, {0x99, 0x99, 0x99}, {0xAA, 0xAA, 0xAA},
    {0xBB, 0xBB, 0xBB}, {0xCC, 0xCC, 0xCC}, {0xDD, 0xDD, 0xDD}, {0xEE, 0xEE, 0xEE},
    {0xFF, 0xFF, 0xFF}, {0x92, 0x49, 0x24}, {0x49, 0x24, 0x92}, {0x24, 0x92, 0x49},
    {0x6D, 0xB6, 0xDB}, {0xB6, 0xDB, 0x6D}, {0xDB, 0x6D, 0xB6},
}};

PassPlan GutmannPlan() {
  PassPlan plan;
  int32_t number = 1;
  for (; number <= 4; ++number) {
    plan.push_back(Random(number, FormatPrintfW("Pass %d/35: Gutmann Pre-Random", number)));
  }
  for (const auto& p : kGutmannPatterns) {
    plan.push_back({number, PassKind::ThreeBytePattern, p,
                    FormatPrintfW("Pass %d/35: Gutmann MFM/RLL Pattern (%02X %02X %02X)", number,
                                  p[0], p[1], p[2])});
    ++number;
  }
  for (; number <= 34; ++number) {
    plan.push_back(Random(number, FormatPrintfW("Pass %d/35: Gutmann Post-Random", number)));
  }
  plan.push_back(Fixed(35, 0x00, L"Pass 35/35: Gutmann Final Zero Clear (0x00)"));
  return plan;
}

}  // namespace

std::wstring StandardLabel(EraseStandard standard) {
  switch (standard) {
    case EraseStandard::NistPurge:
      return L"NIST SP 800-88 Rev.1 Purge (NVMe/SSD最推奨・TRIM解放+暗号乱数+Zero)";
    case EraseStandard::NistClear:
      return L"NIST SP 800-88 Rev.1 Clear (国際標準・TRIM+1Passゼロ上書き+Verify)";
    case EraseStandard::ZeroFill:
      return L"Zero Fill (1 Pass - 高速ゼロ上書き)";
    case EraseStandard::CryptoRandom:
      return L"Cryptographic Random (1 Pass - 暗号論的乱数)";
    case EraseStandard::Dod522022M:
      return L"DoD 5220.22-M (3 Passes - 米国国防総省標準)";
    case EraseStandard::HmgIs5Enhanced:
      return L"UK HMG IS5 Enhanced (3 Passes - 英国政府機密規格)";
    case EraseStandard::DodEce:
      return L"DoD 5220.22-M ECE (7 Passes - 米国国防総省拡張規格)";
    case EraseStandard::Gutmann:
      return L"Peter Gutmann Method (35 Passes - 最高機密HDD完全消去)";
  }
  return L"Unknown Standard";
}

std::wstring StandardDescription(EraseStandard standard) {
  switch (standard) {
    case EraseStandard::NistPurge:
      return L"【NVMe/SATA SSD最推奨】NIST SP 800-88 Rev.1 Purge準拠。全LBA TRIM/Deallocateブロック解放＋CSPRNG暗号乱数＋ゼロパージ＋構造完全破棄を行います。";
    case EraseStandard::NistClear:
      return L"NIST SP 800-88 Rev.1 Clear準拠。全ユーザアドレス領域へ0x00を上書きし、リードバック検証によって論理的データ復旧を完全に阻止します。";
    case EraseStandard::ZeroFill:
      return L"全セクタを 0x00 で1回上書きし、MBR/GPTパーティション情報を完全消去します。";
    case EraseStandard::CryptoRandom:
      return L"Windows CNG 暗号論的乱数生成器(BCrypt)を用いて全セクタをランダムデータで1回上書きします。";
    case EraseStandard::Dod522022M:
      return L"Pass1: 0x00、Pass2: 0xFF、Pass3: 暗号論的乱数の3段階上書きとベリファイ検証を行う米国国防総省方式です。";
    case EraseStandard::HmgIs5Enhanced:
      return L"英国政府通信本部(CESG)規格。0x00上書き、0xFF上書き、暗号論的乱数上書きの3パスを実行します。";
    case EraseStandard::DodEce:
      return L"米国国防総省の7パス拡張版。固定値・補数・暗号乱数を7回反復書き込みし、磁気残留を徹底排除します。";
    case EraseStandard::Gutmann:
      return L"Peter Gutmann博士提唱の35パス方式。多様なビットパターンと乱数を35回書き込みます(HDD専用・長時間)。";
  }
  return L"";
}

PassPlan BuildPassPlan(EraseStandard standard) {
  switch (standard) {
    case EraseStandard::NistPurge:
      return {Random(1, L"Pass 1/2: NIST SP 800-88 Rev.1 Purge - CSPRNG Cryptographic Overwrite"),
              Fixed(2, 0x00, L"Pass 2/2: NIST SP 800-88 Rev.1 Purge - Zero Sanitization (0x00)")};
    case EraseStandard::NistClear:
      return {
          Fixed(1, 0x00, L"Pass 1/1: NIST SP 800-88 Rev.1 Clear - Full LBA Zero Overwrite (0x00)")};
    case EraseStandard::ZeroFill:
      return {Fixed(1, 0x00, L"Pass 1/1: Zero Fill (0x00)")};
    case EraseStandard::CryptoRandom:
      return {Random(1, L"Pass 1/1: Cryptographic Random (CSPRNG)")};
    case EraseStandard::Dod522022M:
    case EraseStandard::HmgIs5Enhanced:
      return {Fixed(1, 0x00, L"Pass 1/3: Fixed Pattern (0x00)"),
              Fixed(2, 0xFF, L"Pass 2/3: Complement Pattern (0xFF)"),
              Random(3, L"Pass 3/3: Cryptographic Random (CSPRNG)")};
    case EraseStandard::DodEce:
      return {Fixed(1, 0x00, L"Pass 1/7: DoD ECE Fixed (0x00)"),
              Fixed(2, 0xFF, L"Pass 2/7: DoD ECE Complement (0xFF)"),
              Random(3, L"Pass 3/7: DoD ECE Random #1"),
              Fixed(4, 0x96, L"Pass 4/7: DoD ECE Pattern (0x96)"),
              Fixed(5, 0x00, L"Pass 5/7: DoD ECE Fixed (0x00)"),
              Fixed(6, 0xFF, L"Pass 6/7: DoD ECE Complement (0xFF)"),
              Random(7, L"Pass 7/7: DoD ECE Random #2")};
    case EraseStandard::Gutmann:
      return GutmannPlan();
  }
  return {};
}

std::wstring RecommendationSuffix(MediaKind media) {
  if (media == MediaKind::Ssd || media == MediaKind::NvmeSsd) {
    return L" [推奨: NIST 800-88 Rev.1 Purge]";
  }
  return L" [推奨: NIST 800-88 / DoD]";
}

bool PlanEndsWithZeros(const PassPlan& plan) {
  return !plan.empty() && plan.back().kind == PassKind::FixedByte && plan.back().pattern[0] == 0;
}

bool SendsTrimNotice(EraseStandard standard, MediaKind media) {
  return standard == EraseStandard::NistPurge || standard == EraseStandard::NistClear ||
         media == MediaKind::Ssd || media == MediaKind::NvmeSsd;
}

}  // namespace tvde
