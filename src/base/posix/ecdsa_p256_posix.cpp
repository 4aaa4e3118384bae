// ECDSA P-256 through OpenSSL's libcrypto: PEM reading, key generation, signing, verifying.
#include <openssl/bio.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <climits>
#include <cstring>
#include <memory>

#include "base/ecdsa_p256.h"
#include "base/pem.h"

namespace tvde {
namespace {

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
struct MdContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using Bio = std::unique_ptr<BIO, BioFree>;
using MdContext = std::unique_ptr<EVP_MD_CTX, MdContextFree>;

// Never asks for a pass phrase: an encrypted key is refused before it gets here anyway.
int NoPassword(char*, int, int, void*) {
  return -1;
}

Bio MemoryBio(std::string_view text) {
  if (text.size() > INT_MAX) return nullptr;
  return Bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
}

bool IsP256(EVP_PKEY* key) {
  char group[64] = {};
  size_t length = 0;
  return EVP_PKEY_get_base_id(key) == EVP_PKEY_EC &&
         EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group,
                                        &length) == 1 &&
         std::strcmp(group, "prime256v1") == 0;
}

Pkey ReadPrivateKey(std::string_view pem, std::string& error) {
  if (!HasPemLabel(pem, kPrivateKeyPemLabel, error)) return nullptr;
  Bio bio = MemoryBio(pem);
  Pkey key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassword, nullptr) : nullptr);
  if (!key) {
    error = "the private key cannot be read (damaged PEM or DER)";
    return nullptr;
  }
  if (!IsP256(key.get())) {
    error = "the private key is not an ECDSA P-256 key";
    return nullptr;
  }
  return key;
}

bool SubjectPublicKeyInfo(EVP_PKEY* key, std::vector<uint8_t>& spki) {
  // Uncompressed points, the one form the signature files carry.
  EVP_PKEY_set_utf8_string_param(key, OSSL_PKEY_PARAM_EC_POINT_CONVERSION_FORMAT, "uncompressed");
  unsigned char* der = nullptr;
  const int length = i2d_PUBKEY(key, &der);
  if (length <= 0) return false;
  spki.assign(der, der + length);
  OPENSSL_free(der);
  return true;
}

}  // namespace

bool GenerateEcdsaP256KeyPair(EcdsaKeyPair& keys, std::string& error) {
  Pkey key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  Bio out(BIO_new(BIO_s_mem()));
  std::vector<uint8_t> spki;
  if (!key || !out ||
      PEM_write_bio_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
      !SubjectPublicKeyInfo(key.get(), spki)) {
    error = "OpenSSL could not make a P-256 key pair";
    return false;
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(out.get(), &data);
  keys.privateKeyPem.assign(data, static_cast<size_t>(length));
  keys.publicKeyPem = EncodePem(kPublicKeyPemLabel, spki);
  return true;
}

bool PublicKeyOfPrivateKey(std::string_view privateKeyPem, std::vector<uint8_t>& spki,
                           std::string& error) {
  Pkey key = ReadPrivateKey(privateKeyPem, error);
  if (!key) return false;
  if (!SubjectPublicKeyInfo(key.get(), spki)) {
    error = "the public half of the private key cannot be encoded";
    return false;
  }
  return true;
}

bool SignEcdsaP256Sha256(std::string_view privateKeyPem, std::span<const uint8_t> message,
                         std::vector<uint8_t>& derSignature, std::string& error) {
  Pkey key = ReadPrivateKey(privateKeyPem, error);
  if (!key) return false;
  MdContext context(EVP_MD_CTX_new());
  size_t length = 0;
  if (!context ||
      EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
      EVP_DigestSign(context.get(), nullptr, &length, message.data(), message.size()) != 1) {
    error = "OpenSSL could not start an ECDSA signature";
    return false;
  }
  derSignature.resize(length);
  if (EVP_DigestSign(context.get(), derSignature.data(), &length, message.data(), message.size()) !=
      1) {
    error = "OpenSSL could not sign";
    return false;
  }
  derSignature.resize(length);
  return true;
}

bool DecodePublicKeyPem(std::string_view publicKeyPem, std::vector<uint8_t>& spki,
                        std::string& error) {
  if (!HasPemLabel(publicKeyPem, kPublicKeyPemLabel, error)) return false;
  Bio bio = MemoryBio(publicKeyPem);
  Pkey key(bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, NoPassword, nullptr) : nullptr);
  if (!key) {
    error = "the public key cannot be read (damaged PEM or DER)";
    return false;
  }
  if (!IsP256(key.get())) {
    error = "the public key is not an ECDSA P-256 key";
    return false;
  }
  if (!SubjectPublicKeyInfo(key.get(), spki)) {
    error = "the public key cannot be encoded";
    return false;
  }
  return true;
}

bool VerifyEcdsaP256Sha256(std::span<const uint8_t> spki, std::span<const uint8_t> message,
                           std::span<const uint8_t> derSignature) {
  if (spki.size() > LONG_MAX) return false;
  const unsigned char* der = spki.data();
  Pkey key(d2i_PUBKEY(nullptr, &der, static_cast<long>(spki.size())));
  if (!key || der != spki.data() + spki.size() || !IsP256(key.get())) return false;
  MdContext context(EVP_MD_CTX_new());
  return context &&
         EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
         EVP_DigestVerify(context.get(), derSignature.data(), derSignature.size(), message.data(),
                          message.size()) == 1;
}

}  // namespace tvde
