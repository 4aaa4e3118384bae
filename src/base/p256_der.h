#pragma once
// The few DER structures of ECDSA over NIST P-256, for providers that deal in raw key and
// signature bytes only: PKCS#8 private keys, SubjectPublicKeyInfo public keys, and signatures
// (SEQUENCE of the INTEGERs r and s) against the fixed-width r || s form.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tvde {

inline constexpr size_t kP256FieldBytes = 32;

struct P256KeyMaterial {
  std::array<uint8_t, kP256FieldBytes> d{};  // private scalar, big-endian
  std::array<uint8_t, kP256FieldBytes> x{};  // public point, big-endian coordinates
  std::array<uint8_t, kP256FieldBytes> y{};
  bool hasPublicKey = false;
};

// PKCS#8 PrivateKeyInfo (version 0, id-ecPublicKey with prime256v1) around an ECPrivateKey
// that carries the public point; 138 bytes.
std::vector<uint8_t> EncodeP256Pkcs8(const P256KeyMaterial& key);

// Reads a PKCS#8 P-256 private key: version 0 or 1, the curve named in the algorithm (and, if
// present, in the ECPrivateKey), the public point when the key carries it. Strict DER.
bool DecodeP256Pkcs8(std::span<const uint8_t> der, P256KeyMaterial& key, std::string& error);

// SubjectPublicKeyInfo of an uncompressed P-256 point; 91 bytes.
std::vector<uint8_t> EncodeP256Spki(std::span<const uint8_t, kP256FieldBytes> x,
                                    std::span<const uint8_t, kP256FieldBytes> y);

// The point of a SubjectPublicKeyInfo in exactly the form EncodeP256Spki writes.
bool DecodeP256Spki(std::span<const uint8_t> spki, std::array<uint8_t, kP256FieldBytes>& x,
                    std::array<uint8_t, kP256FieldBytes>& y);

// r || s (32 bytes each) as DER, and back. DerToRaw accepts minimal positive INTEGERs of at
// most 32 significant bytes and nothing after the SEQUENCE.
std::vector<uint8_t> EcdsaRawToDer(std::span<const uint8_t, 2 * kP256FieldBytes> raw);
bool EcdsaDerToRaw(std::span<const uint8_t> der, std::array<uint8_t, 2 * kP256FieldBytes>& raw);

}  // namespace tvde
