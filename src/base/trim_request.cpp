// Layout of the whole-disk TRIM request (header, padding, one range).
#include "base/trim_request.h"

#include <span>

#include "base/byte_order.h"

namespace tvde {
namespace {

constexpr size_t kHeaderSizeOffset = 0;
constexpr size_t kActionOffset = 4;
constexpr size_t kFlagsOffset = 8;
constexpr size_t kParameterBlockOffsetOffset = 12;
constexpr size_t kParameterBlockLengthOffset = 16;
constexpr size_t kRangesOffsetOffset = 20;
constexpr size_t kRangesLengthOffset = 24;
constexpr size_t kRangeOffset = 32;  // after 4 bytes of padding at 28
constexpr uint32_t kHeaderSize = 28;
constexpr uint32_t kActionTrim = 1;
constexpr uint32_t kRangeSize = 16;
static_assert(kRangeOffset + kRangeSize == kTrimRequestSize);

}  // namespace

std::array<uint8_t, kTrimRequestSize> BuildTrimRequest(uint64_t sizeBytes) {
  std::array<uint8_t, kTrimRequestSize> request{};
  std::span<uint8_t> out(request);
  PutLe32(out.subspan(kHeaderSizeOffset), kHeaderSize);
  PutLe32(out.subspan(kActionOffset), kActionTrim);
  PutLe32(out.subspan(kFlagsOffset), 0);
  PutLe32(out.subspan(kParameterBlockOffsetOffset), 0);
  PutLe32(out.subspan(kParameterBlockLengthOffset), 0);
  PutLe32(out.subspan(kRangesOffsetOffset), kRangeOffset);
  PutLe32(out.subspan(kRangesLengthOffset), kRangeSize);
  PutLe64(out.subspan(kRangeOffset), 0);
  PutLe64(out.subspan(kRangeOffset + 8), sizeBytes);
  return request;
}

}  // namespace tvde
