// Standards: labels, descriptions, pass plans, the Gutmann table and the advice texts.
#include "erase/erase_standard.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

struct ExpectedPass {
  PassKind kind;
  std::array<uint8_t, 3> pattern;
  std::string name;
};

void ExpectPlan(EraseStandard standard, const std::vector<ExpectedPass>& expected) {
  const PassPlan plan = BuildPassPlan(standard);
  ASSERT_EQ(plan.size(), expected.size());
  for (size_t i = 0; i < plan.size(); ++i) {
    SCOPED_TRACE("pass " + std::to_string(i + 1));
    EXPECT_EQ(plan[i].passNumber, static_cast<int32_t>(i + 1));
    EXPECT_EQ(plan[i].kind, expected[i].kind);
    EXPECT_EQ(plan[i].pattern, expected[i].pattern);
    EXPECT_EQ(U8(plan[i].name), expected[i].name);
  }
}

constexpr PassKind F = PassKind::FixedByte;
constexpr PassKind R = PassKind::Random;

TEST(EraseStandard, Labels) {
  const char* expected[] = {
      "NIST SP 800-88 Rev.1 Purge (NVMe/SSD最推奨・TRIM解放+暗号乱数+Zero)",
      "NIST SP 800-88 Rev.1 Clear (国際標準・TRIM+1Passゼロ上書き+Verify)",
      "Zero Fill (1 Pass - 高速ゼロ上書き)",
      "Cryptographic Random (1 Pass - 暗号論的乱数)",
      "DoD 5220.22-M (3 Passes - 米国国防総省標準)",
      "UK HMG IS5 Enhanced (3 Passes - 英国政府機密規格)",
      "DoD 5220.22-M ECE (7 Passes - 米国国防総省拡張規格)",
      "Peter Gutmann Method (35 Passes - 最高機密HDD完全消去)",
  };
  for (int32_t v = 0; v < kStandardCount; ++v) {
    EXPECT_EQ(U8(StandardLabel(static_cast<EraseStandard>(v))), expected[v]) << v;
  }
}

TEST(EraseStandard, Descriptions) {
  const char* expected[] = {
      "【NVMe/SATA SSD最推奨】NIST SP 800-88 Rev.1 Purge準拠。全LBA "
      "TRIM/Deallocateブロック解放＋CSPRNG暗号乱数＋ゼロパージ＋構造完全破棄を行います。",
      "NIST SP 800-88 Rev.1 "
      "Clear準拠。全ユーザアドレス領域へ0x00を上書きし、リードバック検証によって論理的データ復旧を"
      "完全に阻止します。",
      "全セクタを 0x00 で1回上書きし、MBR/GPTパーティション情報を完全消去します。",
      "Windows CNG 暗号論的乱数生成器(BCrypt)を用いて全セクタをランダムデータで1回上書きします。",
      "Pass1: 0x00、Pass2: 0xFF、Pass3: "
      "暗号論的乱数の3段階上書きとベリファイ検証を行う米国国防総省方式です。",
      "英国政府通信本部(CESG)規格。0x00上書き、0xFF上書き、暗号論的乱数上書きの3パスを実行します。",
      "米国国防総省の7パス拡張版。固定値・補数・暗号乱数を7回反復書き込みし、磁気残留を徹底排除しま"
      "す。",
      "Peter "
      "Gutmann博士提唱の35パス方式。多様なビットパターンと乱数を35回書き込みます(HDD専用・長時間)"
      "。",
  };
  for (int32_t v = 0; v < kStandardCount; ++v) {
    EXPECT_EQ(U8(StandardDescription(static_cast<EraseStandard>(v))), expected[v]) << v;
  }
}

TEST(EraseStandard, OutOfRangeValueIsUnknownWithNoPasses) {
  for (int32_t v : {8, -1, 1000}) {
    const auto standard = static_cast<EraseStandard>(v);
    EXPECT_EQ(U8(StandardLabel(standard)), "Unknown Standard");
    EXPECT_EQ(StandardDescription(standard), L"");
    EXPECT_TRUE(BuildPassPlan(standard).empty());
  }
}

TEST(PassPlan, NistAndSinglePassStandards) {
  ExpectPlan(
      EraseStandard::NistPurge,
      {{R, {0, 0, 0}, "Pass 1/2: NIST SP 800-88 Rev.1 Purge - CSPRNG Cryptographic Overwrite"},
       {F, {0, 0, 0}, "Pass 2/2: NIST SP 800-88 Rev.1 Purge - Zero Sanitization (0x00)"}});
  ExpectPlan(
      EraseStandard::NistClear,
      {{F, {0, 0, 0}, "Pass 1/1: NIST SP 800-88 Rev.1 Clear - Full LBA Zero Overwrite (0x00)"}});
  ExpectPlan(EraseStandard::ZeroFill, {{F, {0, 0, 0}, "Pass 1/1: Zero Fill (0x00)"}});
  ExpectPlan(EraseStandard::CryptoRandom,
             {{R, {0, 0, 0}, "Pass 1/1: Cryptographic Random (CSPRNG)"}});
}

TEST(PassPlan, DodAndHmgShareOneThreePassPlan) {
  const std::vector<ExpectedPass> expected = {
      {F, {0x00, 0, 0}, "Pass 1/3: Fixed Pattern (0x00)"},
      {F, {0xFF, 0, 0}, "Pass 2/3: Complement Pattern (0xFF)"},
      {R, {0, 0, 0}, "Pass 3/3: Cryptographic Random (CSPRNG)"}};
  ExpectPlan(EraseStandard::Dod522022M, expected);
  ExpectPlan(EraseStandard::HmgIs5Enhanced, expected);
}

TEST(PassPlan, DodEceSevenPasses) {
  ExpectPlan(EraseStandard::DodEce, {{F, {0x00, 0, 0}, "Pass 1/7: DoD ECE Fixed (0x00)"},
                                     {F, {0xFF, 0, 0}, "Pass 2/7: DoD ECE Complement (0xFF)"},
                                     {R, {0, 0, 0}, "Pass 3/7: DoD ECE Random #1"},
                                     {F, {0x96, 0, 0}, "Pass 4/7: DoD ECE Pattern (0x96)"},
                                     {F, {0x00, 0, 0}, "Pass 5/7: DoD ECE Fixed (0x00)"},
                                     {F, {0xFF, 0, 0}, "Pass 6/7: DoD ECE Complement (0xFF)"},
                                     {R, {0, 0, 0}, "Pass 7/7: DoD ECE Random #2"}});
}

TEST(PassPlan, GutmannThirtyFivePasses) {
  // The published table, pass number -> bytes in write order.
  const std::map<int, std::array<uint8_t, 3>> table = {
      {5, {0x55, 0x55, 0x55}},  {6, {0xAA, 0xAA, 0xAA}},  {7, {0x92, 0x49, 0x24}},
      {8, {0x49, 0x24, 0x92}},  {9, {0x24, 0x92, 0x49}},  {10, {0x00, 0x00, 0x00}},
      {11, {0x11, 0x11, 0x11}}, {12, {0x22, 0x22, 0x22}}, {13, {0x33, 0x33, 0x33}},
      {14, {0x44, 0x44, 0x44}}, {15, {0x55, 0x55, 0x55}}, {16, {0x66, 0x66, 0x66}},
      {17, {0x77, 0x77, 0x77}}, {18, {0x88, 0x88, 0x88}}, {19, {0x99, 0x99, 0x99}},
      {20, {0xAA, 0xAA, 0xAA}}, {21, {0xBB, 0xBB, 0xBB}}, {22, {0xCC, 0xCC, 0xCC}},
      {23, {0xDD, 0xDD, 0xDD}}, {24, {0xEE, 0xEE, 0xEE}}, {25, {0xFF, 0xFF, 0xFF}},
      {26, {0x92, 0x49, 0x24}}, {27, {0x49, 0x24, 0x92}}, {28, {0x24, 0x92, 0x49}},
      {29, {0x6D, 0xB6, 0xDB}}, {30, {0xB6, 0xDB, 0x6D}}, {31, {0xDB, 0x6D, 0xB6}},
  };
  const PassPlan plan = BuildPassPlan(EraseStandard::Gutmann);
  ASSERT_EQ(plan.size(), 35u);
  for (const PassSpec& pass : plan) {
    const int n = pass.passNumber;
    SCOPED_TRACE(n);
    EXPECT_EQ(static_cast<size_t>(n), (&pass - plan.data()) + 1u);
    if (n <= 4) {
      EXPECT_EQ(pass.kind, R);
      EXPECT_EQ(U8(pass.name), "Pass " + std::to_string(n) + "/35: Gutmann Pre-Random");
    } else if (n <= 31) {
      EXPECT_EQ(pass.kind, PassKind::ThreeBytePattern);
      EXPECT_EQ(pass.pattern, table.at(n));
    } else if (n <= 34) {
      EXPECT_EQ(pass.kind, R);
      EXPECT_EQ(pass.pattern, (std::array<uint8_t, 3>{0, 0, 0}));
      EXPECT_EQ(U8(pass.name), "Pass " + std::to_string(n) + "/35: Gutmann Post-Random");
    } else {
      EXPECT_EQ(pass.kind, F);
      EXPECT_EQ(pass.pattern, (std::array<uint8_t, 3>{0, 0, 0}));
      EXPECT_EQ(U8(pass.name), "Pass 35/35: Gutmann Final Zero Clear (0x00)");
    }
  }
  EXPECT_EQ(U8(plan[7].name), "Pass 8/35: Gutmann MFM/RLL Pattern (49 24 92)");
  EXPECT_EQ(U8(plan[4].name), "Pass 5/35: Gutmann MFM/RLL Pattern (55 55 55)");
  EXPECT_EQ(U8(plan[9].name), "Pass 10/35: Gutmann MFM/RLL Pattern (00 00 00)");
  EXPECT_EQ(U8(plan[30].name), "Pass 31/35: Gutmann MFM/RLL Pattern (DB 6D B6)");
}

TEST(EraseStandard, RecommendationSuffixDependsOnSolidStateMedia) {
  EXPECT_EQ(U8(RecommendationSuffix(MediaKind::Ssd)), " [推奨: NIST 800-88 Rev.1 Purge]");
  EXPECT_EQ(U8(RecommendationSuffix(MediaKind::NvmeSsd)), " [推奨: NIST 800-88 Rev.1 Purge]");
  for (int32_t v : {0, 1, 4, 9}) {
    EXPECT_EQ(U8(RecommendationSuffix(static_cast<MediaKind>(v))), " [推奨: NIST 800-88 / DoD]");
  }
}

TEST(EraseStandard, TrimNoticeForNistStandardsAndSolidStateMedia) {
  EXPECT_TRUE(SendsTrimNotice(EraseStandard::NistPurge, MediaKind::Hdd));
  EXPECT_TRUE(SendsTrimNotice(EraseStandard::NistClear, MediaKind::Removable));
  EXPECT_TRUE(SendsTrimNotice(EraseStandard::ZeroFill, MediaKind::NvmeSsd));
  EXPECT_TRUE(SendsTrimNotice(EraseStandard::Gutmann, MediaKind::Ssd));
  EXPECT_FALSE(SendsTrimNotice(EraseStandard::ZeroFill, MediaKind::Hdd));
  EXPECT_FALSE(SendsTrimNotice(EraseStandard::Dod522022M, MediaKind::Removable));
}

}  // namespace
}  // namespace tvde
