// POSIX SHA-256 through OpenSSL's EVP interface.
#include <openssl/evp.h>

#include "base/sha256.h"

namespace tvde {

Sha256Digest ComputeSha256(std::span<const uint8_t> data) {
  Sha256Digest digest;
  const EVP_MD* md = EVP_sha256();
  if (md == nullptr) {
    digest.status = Sha256Status::Unavailable;
    return digest;
  }
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (context == nullptr) {
    digest.status = Sha256Status::Error;
    return digest;
  }
  unsigned int length = 0;
  const bool ok = EVP_DigestInit_ex(context, md, nullptr) == 1 &&
                  EVP_DigestUpdate(context, data.data(), data.size()) == 1 &&
                  EVP_DigestFinal_ex(context, digest.bytes.data(), &length) == 1 && length == 32;
  EVP_MD_CTX_free(context);
  digest.status = ok ? Sha256Status::Ok : Sha256Status::Error;
  return digest;
}

}  // namespace tvde
