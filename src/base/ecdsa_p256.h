#pragma once
// ECDSA over NIST P-256 with SHA-256 through the platform's cryptography provider. Keys travel
// as PEM text: PKCS#8 ("PRIVATE KEY", unencrypted) for private keys, SubjectPublicKeyInfo
// ("PUBLIC KEY") for public keys. Public keys come back as their DER SubjectPublicKeyInfo, and
// signatures are DER (a SEQUENCE of r and s), the forms OpenSSL and X.509 use.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tvde {

inline constexpr const char* kPrivateKeyPemLabel = "PRIVATE KEY";
inline constexpr const char* kPublicKeyPemLabel = "PUBLIC KEY";
// Key files are a few hundred bytes; larger ones are not read.
inline constexpr size_t kMaxKeyFileBytes = size_t{64} << 10;

struct EcdsaKeyPair {
  std::string privateKeyPem;
  std::string publicKeyPem;
};

// A fresh key pair. `error` says why when the answer is false (also for the functions below).
bool GenerateEcdsaP256KeyPair(EcdsaKeyPair& keys, std::string& error);

// The SubjectPublicKeyInfo of the public half of a PEM private key.
bool PublicKeyOfPrivateKey(std::string_view privateKeyPem, std::vector<uint8_t>& spki,
                           std::string& error);

// Signs the SHA-256 of `message`.
bool SignEcdsaP256Sha256(std::string_view privateKeyPem, std::span<const uint8_t> message,
                         std::vector<uint8_t>& derSignature, std::string& error);

// The SubjectPublicKeyInfo of a PEM public key, in the one DER form of a P-256 key.
bool DecodePublicKeyPem(std::string_view publicKeyPem, std::vector<uint8_t>& spki,
                        std::string& error);

// True only when `derSignature` is a valid signature of `message` by the key.
bool VerifyEcdsaP256Sha256(std::span<const uint8_t> spki, std::span<const uint8_t> message,
                           std::span<const uint8_t> derSignature);

}  // namespace tvde
