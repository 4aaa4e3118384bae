// Windows random source: CNG's system-preferred generator, and the system's wipe for secrets.
// windows.h must come first: bcrypt.h relies on its base types.
#include <windows.h>

#include <bcrypt.h>

#include <algorithm>

#include "base/random.h"

namespace tvde {

bool FillRandom(std::span<uint8_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    const ULONG step = static_cast<ULONG>(std::min<size_t>(out.size() - done, 0x40000000));
    if (!BCRYPT_SUCCESS(
            BCryptGenRandom(nullptr, out.data() + done, step, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      return false;
    }
    done += step;
  }
  return true;
}

void WipeSecret(std::span<uint8_t> secret) {
  SecureZeroMemory(secret.data(), secret.size());
}

}  // namespace tvde
