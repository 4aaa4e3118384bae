// POSIX keystream cipher: OpenSSL's AES-256-CTR over a zeroed buffer, in place.
#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <memory>

#include "base/keystream.h"

namespace tvde {
namespace {

struct CipherContextFree {
  // Freeing the context also wipes the key schedule it holds.
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

// Fetched once: an implicit fetch on every use would look the cipher up again each time.
const EVP_CIPHER* Aes256Ctr() {
  static EVP_CIPHER* const cipher = EVP_CIPHER_fetch(nullptr, "AES-256-CTR", nullptr);
  return cipher;
}

}  // namespace

bool AesCtrKeystreamBlocks(const KeystreamKey& key, const KeystreamCounter& counter,
                           std::span<uint8_t> out) {
  const std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> context(EVP_CIPHER_CTX_new());
  if (context == nullptr || Aes256Ctr() == nullptr ||
      EVP_EncryptInit_ex2(context.get(), Aes256Ctr(), key.data(), counter.data(), nullptr) != 1) {
    return false;
  }
  // The keystream is the encryption of zeroes, read from a block small enough to stay cached.
  static constexpr std::array<uint8_t, size_t{64} * 1024> kZeroes{};
  size_t done = 0;
  while (done < out.size()) {
    const int step = static_cast<int>(std::min(out.size() - done, kZeroes.size()));
    int produced = 0;
    if (EVP_EncryptUpdate(context.get(), out.data() + done, &produced, kZeroes.data(), step) != 1 ||
        produced != step) {
      return false;
    }
    done += static_cast<size_t>(step);
  }
  return true;
}

}  // namespace tvde
