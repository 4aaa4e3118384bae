#pragma once
// The 48-byte data-set-management TRIM request for one range covering a whole disk.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tvde {

inline constexpr size_t kTrimRequestSize = 48;

std::array<uint8_t, kTrimRequestSize> BuildTrimRequest(uint64_t sizeBytes);

}  // namespace tvde
