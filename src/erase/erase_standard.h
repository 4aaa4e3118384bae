#pragma once
// The eight erase standards, their labels and descriptions, and their pass plans.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk_info.h"

namespace tvde {

// The value is also the index in the standard combo box and the persisted setting.
enum class EraseStandard : int32_t {
  NistPurge = 0,
  NistClear = 1,
  ZeroFill = 2,
  CryptoRandom = 3,
  Dod522022M = 4,
  HmgIs5Enhanced = 5,
  DodEce = 6,
  Gutmann = 7,
};

inline constexpr int32_t kStandardCount = 8;

enum class PassKind : int32_t {
  FixedByte = 0,         // every byte = pattern[0]
  ThreeBytePattern = 1,  // pattern[i % 3] from the first byte of the write buffer on
  Random = 2,            // fresh CSPRNG data for every chunk
};

struct PassSpec {
  int32_t passNumber = 0;  // 1-based position in the plan
  PassKind kind = PassKind::FixedByte;
  std::array<uint8_t, 3> pattern{};
  std::wstring name;
};

using PassPlan = std::vector<PassSpec>;

std::wstring StandardLabel(EraseStandard standard);
std::wstring StandardDescription(EraseStandard standard);
// Empty for a value outside 0..7.
PassPlan BuildPassPlan(EraseStandard standard);

// Advice appended to the selection label; it never preselects a standard.
std::wstring RecommendationSuffix(MediaKind media);

// Whether the plan's last pass leaves every byte 0x00 (an empty plan writes nothing and does not).
bool PlanEndsWithZeros(const PassPlan& plan);

// Whether a real write sends the whole-disk TRIM notice before the first pass.
bool SendsTrimNotice(EraseStandard standard, MediaKind media);

}  // namespace tvde
