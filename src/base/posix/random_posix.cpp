// POSIX random source: OpenSSL's CTR-DRBG (seeded by the kernel), fast enough for whole-disk
// random passes, unlike getrandom().
#include <openssl/rand.h>

#include <algorithm>
#include <climits>

#include "base/random.h"

namespace tvde {

bool FillRandom(std::span<uint8_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    const size_t step = std::min<size_t>(out.size() - done, INT_MAX);
    if (RAND_bytes(out.data() + done, static_cast<int>(step)) != 1) return false;
    done += step;
  }
  return true;
}

}  // namespace tvde
