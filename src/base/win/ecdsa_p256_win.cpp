// ECDSA P-256 through CNG. PEM text is taken apart by crypt32 (CryptStringToBinaryW) and public
// keys by CryptDecodeObjectEx / CryptImportPublicKeyInfoEx2. The PKCS#8 private key and the
// signature form are read and written by our own DER code: Wine's crypt32 decodes neither
// PKCS_PRIVATE_KEY_INFO nor X509_ECC_SIGNATURE, and CNG signs and verifies raw r || s.
// windows.h must come first: bcrypt.h and wincrypt.h rely on its base types.
#include <windows.h>

#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>

#include "base/ecdsa_p256.h"
#include "base/p256_der.h"
#include "base/pem.h"
#include "base/sha256.h"
#include "base/text.h"

namespace tvde {
namespace {

constexpr uint8_t kP256OidDer[] = {0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};

class Algorithm {
 public:
  Algorithm() {
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&handle_, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
      handle_ = nullptr;
    }
  }
  Algorithm(const Algorithm&) = delete;
  Algorithm& operator=(const Algorithm&) = delete;
  ~Algorithm() {
    if (handle_ != nullptr) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (handle_ != nullptr) BCryptDestroyKey(handle_);
  }
  BCRYPT_KEY_HANDLE* out() { return &handle_; }
  BCRYPT_KEY_HANDLE get() const { return handle_; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

// crypt32 allocates decoded structures with LocalAlloc.
class Decoded {
 public:
  Decoded() = default;
  Decoded(const Decoded&) = delete;
  Decoded& operator=(const Decoded&) = delete;
  ~Decoded() {
    if (data_ != nullptr) LocalFree(data_);
  }
  void* out() { return &data_; }
  template <typename T>
  const T* as() const {
    return static_cast<const T*>(data_);
  }

 private:
  void* data_ = nullptr;
};

// The DER inside the first PEM block of `pem` (any label; the caller has checked it).
bool PemToDer(std::string_view pem, std::vector<uint8_t>& der) {
  const std::wstring text = AsciiToWide(pem);
  DWORD size = 0;
  if (!CryptStringToBinaryW(text.c_str(), static_cast<DWORD>(text.size()),
                            CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr) ||
      size == 0) {
    return false;
  }
  der.resize(size);
  if (!CryptStringToBinaryW(text.c_str(), static_cast<DWORD>(text.size()),
                            CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) {
    return false;
  }
  der.resize(size);
  return true;
}

bool ReadPrivateKey(std::string_view pem, P256KeyMaterial& key, std::string& error) {
  if (!HasPemLabel(pem, kPrivateKeyPemLabel, error)) return false;
  std::vector<uint8_t> der;
  if (!PemToDer(pem, der)) {
    error = "the private key cannot be read (damaged PEM)";
    return false;
  }
  if (!DecodeP256Pkcs8(der, key, error)) return false;
  if (!key.hasPublicKey) {
    // CNG takes a private key only together with its public point.
    error =
        "the private key file does not carry its public key (write keys with "
        "tvde-cli keygen or openssl genpkey)";
    return false;
  }
  return true;
}

// BCRYPT_ECCPRIVATE_BLOB: the BCRYPT_ECCKEY_BLOB header, then X, Y and d.
std::vector<uint8_t> PrivateKeyBlob(const P256KeyMaterial& key) {
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PRIVATE_P256_MAGIC, kP256FieldBytes};
  std::vector<uint8_t> blob(sizeof header + 3 * kP256FieldBytes);
  std::memcpy(blob.data(), &header, sizeof header);
  uint8_t* at = std::copy(key.x.begin(), key.x.end(), blob.data() + sizeof header);
  at = std::copy(key.y.begin(), key.y.end(), at);
  std::copy(key.d.begin(), key.d.end(), at);
  return blob;
}

bool Sha256Of(std::span<const uint8_t> message, Sha256Digest& digest) {
  digest = ComputeSha256(message);
  return digest.status == Sha256Status::Ok;
}

}  // namespace

bool GenerateEcdsaP256KeyPair(EcdsaKeyPair& keys, std::string& error) {
  Algorithm algorithm;
  Key key;
  constexpr ULONG kBlobBytes = sizeof(BCRYPT_ECCKEY_BLOB) + 3 * kP256FieldBytes;
  uint8_t blob[kBlobBytes] = {};
  ULONG written = 0;
  if (algorithm.get() == nullptr ||
      !BCRYPT_SUCCESS(BCryptGenerateKeyPair(algorithm.get(), key.out(), 256, 0)) ||
      !BCRYPT_SUCCESS(BCryptFinalizeKeyPair(key.get(), 0)) ||
      !BCRYPT_SUCCESS(BCryptExportKey(key.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob, kBlobBytes,
                                      &written, 0)) ||
      written != kBlobBytes) {
    error = "CNG could not make a P-256 key pair";
    return false;
  }
  P256KeyMaterial material;
  const uint8_t* at = blob + sizeof(BCRYPT_ECCKEY_BLOB);
  std::memcpy(material.x.data(), at, kP256FieldBytes);
  std::memcpy(material.y.data(), at + kP256FieldBytes, kP256FieldBytes);
  std::memcpy(material.d.data(), at + 2 * kP256FieldBytes, kP256FieldBytes);
  SecureZeroMemory(blob, sizeof blob);
  keys.privateKeyPem = EncodePem(kPrivateKeyPemLabel, EncodeP256Pkcs8(material));
  keys.publicKeyPem = EncodePem(kPublicKeyPemLabel, EncodeP256Spki(material.x, material.y));
  SecureZeroMemory(material.d.data(), material.d.size());
  return true;
}

bool PublicKeyOfPrivateKey(std::string_view privateKeyPem, std::vector<uint8_t>& spki,
                           std::string& error) {
  P256KeyMaterial material;
  if (!ReadPrivateKey(privateKeyPem, material, error)) return false;
  spki = EncodeP256Spki(material.x, material.y);
  SecureZeroMemory(material.d.data(), material.d.size());
  return true;
}

bool SignEcdsaP256Sha256(std::string_view privateKeyPem, std::span<const uint8_t> message,
                         std::vector<uint8_t>& derSignature, std::string& error) {
  P256KeyMaterial material;
  if (!ReadPrivateKey(privateKeyPem, material, error)) return false;
  std::vector<uint8_t> blob = PrivateKeyBlob(material);
  SecureZeroMemory(material.d.data(), material.d.size());
  Algorithm algorithm;
  Key key;
  const bool imported =
      algorithm.get() != nullptr && BCRYPT_SUCCESS(BCryptImportKeyPair(
                                        algorithm.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, key.out(),
                                        blob.data(), static_cast<ULONG>(blob.size()), 0));
  SecureZeroMemory(blob.data(), blob.size());
  if (!imported) {
    error = "CNG refused the private key";
    return false;
  }
  Sha256Digest digest;
  std::array<uint8_t, 2 * kP256FieldBytes> raw{};
  ULONG written = 0;
  if (!Sha256Of(message, digest) ||
      !BCRYPT_SUCCESS(BCryptSignHash(key.get(), nullptr, digest.bytes.data(),
                                     static_cast<ULONG>(digest.bytes.size()), raw.data(),
                                     static_cast<ULONG>(raw.size()), &written, 0)) ||
      written != raw.size()) {
    error = "CNG could not sign";
    return false;
  }
  derSignature = EcdsaRawToDer(raw);
  return true;
}

bool DecodePublicKeyPem(std::string_view publicKeyPem, std::vector<uint8_t>& spki,
                        std::string& error) {
  if (!HasPemLabel(publicKeyPem, kPublicKeyPemLabel, error)) return false;
  std::vector<uint8_t> der;
  Decoded info;
  DWORD infoSize = 0;
  if (!PemToDer(publicKeyPem, der) ||
      !CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der.data(),
                           static_cast<DWORD>(der.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr,
                           info.out(), &infoSize)) {
    error = "the public key cannot be read (damaged PEM or DER)";
    return false;
  }
  const CERT_PUBLIC_KEY_INFO& key = *info.as<CERT_PUBLIC_KEY_INFO>();
  const CRYPT_OBJID_BLOB& parameters = key.Algorithm.Parameters;
  const bool isP256 = key.Algorithm.pszObjId != nullptr &&
                      std::strcmp(key.Algorithm.pszObjId, szOID_ECC_PUBLIC_KEY) == 0 &&
                      parameters.cbData == sizeof kP256OidDer &&
                      std::memcmp(parameters.pbData, kP256OidDer, sizeof kP256OidDer) == 0;
  if (!isP256) {
    error = "the public key is not an ECDSA P-256 key";
    return false;
  }
  const CRYPT_BIT_BLOB& point = key.PublicKey;
  if (point.cbData != 1 + 2 * kP256FieldBytes || point.cUnusedBits != 0 || point.pbData[0] != 4) {
    error = "the public key is not an uncompressed P-256 point";
    return false;
  }
  spki =
      EncodeP256Spki(std::span<const uint8_t, kP256FieldBytes>(point.pbData + 1, kP256FieldBytes),
                     std::span<const uint8_t, kP256FieldBytes>(point.pbData + 1 + kP256FieldBytes,
                                                               kP256FieldBytes));
  return true;
}

bool VerifyEcdsaP256Sha256(std::span<const uint8_t> spki, std::span<const uint8_t> message,
                           std::span<const uint8_t> derSignature) {
  std::array<uint8_t, 2 * kP256FieldBytes> raw{};
  std::array<uint8_t, kP256FieldBytes> x{};
  std::array<uint8_t, kP256FieldBytes> y{};
  if (!DecodeP256Spki(spki, x, y) || !EcdsaDerToRaw(derSignature, raw)) return false;
  Decoded info;
  DWORD infoSize = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, spki.data(),
                           static_cast<DWORD>(spki.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr,
                           info.out(), &infoSize)) {
    return false;
  }
  Key key;
  Sha256Digest digest;
  return CryptImportPublicKeyInfoEx2(
             X509_ASN_ENCODING, const_cast<CERT_PUBLIC_KEY_INFO*>(info.as<CERT_PUBLIC_KEY_INFO>()),
             0, nullptr, key.out()) &&
         Sha256Of(message, digest) &&
         BCRYPT_SUCCESS(BCryptVerifySignature(key.get(), nullptr, digest.bytes.data(),
                                              static_cast<ULONG>(digest.bytes.size()), raw.data(),
                                              static_cast<ULONG>(raw.size()), 0));
}

}  // namespace tvde
