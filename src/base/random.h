#pragma once
// Cryptographically secure random bytes from the operating system's generator, and the wipe
// for secrets drawn from it.

#include <cstdint>
#include <span>

namespace tvde {

// Fills every byte or returns false; on false the buffer content is unspecified.
bool FillRandom(std::span<uint8_t> out);

// Overwrites a secret with zeroes in a way the compiler may not leave out as a dead store.
void WipeSecret(std::span<uint8_t> secret);

}  // namespace tvde
