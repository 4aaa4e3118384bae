// The 48-byte TRIM request, checked byte by byte.
#include "base/trim_request.h"

#include <gtest/gtest.h>

#include <vector>

namespace tvde {
namespace {

TEST(TrimRequest, LaysOutHeaderPaddingAndOneWholeDiskRange) {
  // 0x0000_0123_4567_89A0 bytes: a size above 4 GiB checks the full 64-bit length.
  const auto request = BuildTrimRequest(0x0000012345678A00ull);
  const std::vector<uint8_t> expected = {
      28,   0,    0,    0,                             // Size of the header
      1,    0,    0,    0,                             // Action: trim
      0,    0,    0,    0,                             // Flags
      0,    0,    0,    0,                             // ParameterBlockOffset
      0,    0,    0,    0,                             // ParameterBlockLength
      32,   0,    0,    0,                             // DataSetRangesOffset
      16,   0,    0,    0,                             // DataSetRangesLength
      0,    0,    0,    0,                             // padding
      0,    0,    0,    0,    0,    0,    0,    0,     // StartingOffset
      0x00, 0x8A, 0x67, 0x45, 0x23, 0x01, 0x00, 0x00,  // LengthInBytes
  };
  EXPECT_EQ(std::vector<uint8_t>(request.begin(), request.end()), expected);
}

TEST(TrimRequest, ZeroSizeStillFormsAValidHeader) {
  const auto request = BuildTrimRequest(0);
  EXPECT_EQ(request[0], 28);
  EXPECT_EQ(request[20], 32);
  for (size_t i = 32; i < request.size(); ++i)
    EXPECT_EQ(request[i], 0) << i;
}

}  // namespace
}  // namespace tvde
