#pragma once
// Cryptographically secure random bytes from the operating system's preferred generator.

#include <cstdint>
#include <span>

namespace tvde {

// Fills every byte or returns false; on false the buffer content is unspecified.
bool FillRandom(std::span<uint8_t> out);

}  // namespace tvde
