// Windows random source: CNG's system-preferred generator.
#include <windows.h>
// bcrypt.h builds on the base types of windows.h.
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

}  // namespace tvde
