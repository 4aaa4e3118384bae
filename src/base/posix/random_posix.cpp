// POSIX random source: the kernel's generator (getrandom), and OpenSSL's wipe for secrets.
#include <openssl/crypto.h>
#include <sys/random.h>

#include <cerrno>

#include "base/random.h"

namespace tvde {

bool FillRandom(std::span<uint8_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = getrandom(out.data() + done, out.size() - done, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void WipeSecret(std::span<uint8_t> secret) {
  OPENSSL_cleanse(secret.data(), secret.size());
}

}  // namespace tvde
