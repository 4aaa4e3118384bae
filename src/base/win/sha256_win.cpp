// Windows SHA-256 through CNG.
#include <windows.h>
// bcrypt.h builds on the base types of windows.h.
#include <bcrypt.h>

#include "base/sha256.h"

namespace tvde {

Sha256Digest ComputeSha256(std::span<const uint8_t> data) {
  Sha256Digest digest;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(
          BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      algorithm == nullptr) {
    digest.status = Sha256Status::Unavailable;
    return digest;
  }
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)) ||
      hash == nullptr) {
    BCryptCloseAlgorithmProvider(algorithm, 0);
    digest.status = Sha256Status::Error;
    return digest;
  }
  const bool ok = BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(data.data()),
                                                static_cast<ULONG>(data.size()), 0)) &&
                  BCRYPT_SUCCESS(BCryptFinishHash(hash, digest.bytes.data(),
                                                  static_cast<ULONG>(digest.bytes.size()), 0));
  BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(algorithm, 0);
  digest.status = ok ? Sha256Status::Ok : Sha256Status::Error;
  return digest;
}

}  // namespace tvde
