#pragma once
// SHA-256 through the platform's cryptography provider.

#include <array>
#include <cstdint>
#include <span>

namespace tvde {

enum class Sha256Status : int32_t {
  Ok = 0,
  Unavailable = 1,  // no SHA-256 provider
  Error = 2,        // provider present but no hash object
};

struct Sha256Digest {
  Sha256Status status = Sha256Status::Error;
  std::array<uint8_t, 32> bytes{};
};

Sha256Digest ComputeSha256(std::span<const uint8_t> data);

}  // namespace tvde
