#pragma once
// Little- and big-endian reads and writes into byte spans, for on-disk and in-memory layouts.

#include <cstdint>
#include <span>

namespace tvde {

inline void PutLe16(std::span<uint8_t> out, uint16_t v) {
  out[0] = static_cast<uint8_t>(v);
  out[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(std::span<uint8_t> out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutLe64(std::span<uint8_t> out, uint64_t v) {
  for (int i = 0; i < 8; ++i)
    out[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutBe64(std::span<uint8_t> out, uint64_t v) {
  for (int i = 0; i < 8; ++i)
    out[i] = static_cast<uint8_t>(v >> (8 * (7 - i)));
}
inline uint16_t GetLe16(std::span<const uint8_t> in) {
  return static_cast<uint16_t>(in[0] | (in[1] << 8));
}
inline uint32_t GetLe32(std::span<const uint8_t> in) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | in[i];
  return v;
}
inline uint64_t GetLe64(std::span<const uint8_t> in) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i)
    v = (v << 8) | in[i];
  return v;
}

inline uint64_t GetBe64(std::span<const uint8_t> in) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i)
    v = (v << 8) | in[i];
  return v;
}

}  // namespace tvde
