// Encoding and strict decoding of the P-256 key and signature structures.
#include "base/p256_der.h"

#include <algorithm>
#include <optional>

namespace tvde {
namespace {

constexpr uint8_t kTagInteger = 0x02;
constexpr uint8_t kTagBitString = 0x03;
constexpr uint8_t kTagOctetString = 0x04;
constexpr uint8_t kTagOid = 0x06;
constexpr uint8_t kTagSequence = 0x30;
constexpr uint8_t kTagContext0 = 0xA0;  // [0] constructed: parameters / attributes
constexpr uint8_t kTagContext1 = 0xA1;  // [1] constructed: public key

// 1.2.840.10045.2.1 id-ecPublicKey and 1.2.840.10045.3.1.7 prime256v1, as OID contents.
constexpr uint8_t kEcPublicKeyOid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};
constexpr uint8_t kP256Oid[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};

// SEQUENCE { SEQUENCE { OID ecPublicKey, OID prime256v1 }, BIT STRING { 0 unused bits, 04 } }:
// everything of a P-256 SubjectPublicKeyInfo before the two coordinates.
constexpr uint8_t kSpkiPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2A, 0x86, 0x48,
                                   0xCE, 0x3D, 0x02, 0x01, 0x06, 0x08, 0x2A, 0x86, 0x48,
                                   0xCE, 0x3D, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};
static_assert(sizeof kSpkiPrefix + 2 * kP256FieldBytes == 91);

// PrivateKeyInfo { INTEGER 0, algorithm, OCTET STRING { ECPrivateKey { INTEGER 1,
// OCTET STRING d ... } } } up to the private scalar; [1] { BIT STRING 04 } follows it.
constexpr uint8_t kPkcs8Prefix[] = {0x30, 0x81, 0x87, 0x02, 0x01, 0x00, 0x30, 0x13, 0x06,
                                    0x07, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01, 0x06,
                                    0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07,
                                    0x04, 0x6D, 0x30, 0x6B, 0x02, 0x01, 0x01, 0x04, 0x20};
constexpr uint8_t kPkcs8PointPrefix[] = {0xA1, 0x44, 0x03, 0x42, 0x00, 0x04};
static_assert(sizeof kPkcs8Prefix + kP256FieldBytes + sizeof kPkcs8PointPrefix +
                  2 * kP256FieldBytes ==
              138);

using Bytes = std::span<const uint8_t>;

// Reads definite-length DER elements one after another.
class DerReader {
 public:
  explicit DerReader(Bytes data) : data_(data) {}

  bool AtEnd() const { return pos_ == data_.size(); }
  std::optional<uint8_t> PeekTag() const {
    return AtEnd() ? std::nullopt : std::optional<uint8_t>(data_[pos_]);
  }

  // The contents of the next element if it has `tag`; lengths must be in their shortest form.
  std::optional<Bytes> Read(uint8_t tag) {
    if (data_.size() - pos_ < 2 || data_[pos_] != tag) return std::nullopt;
    size_t at = pos_ + 1;
    size_t length = data_[at++];
    if (length >= 0x80) {
      const size_t count = length & 0x7F;
      if (count == 0 || count > 2 || data_.size() - at < count || data_[at] == 0) {
        return std::nullopt;
      }
      length = 0;
      for (size_t i = 0; i < count; ++i)
        length = (length << 8) | data_[at++];
      if (length < 0x80) return std::nullopt;
    }
    if (data_.size() - at < length) return std::nullopt;
    pos_ = at + length;
    return data_.subspan(at, length);
  }

 private:
  Bytes data_;
  size_t pos_ = 0;
};

bool SameBytes(Bytes a, Bytes b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

bool ReadSmallInteger(DerReader& reader, uint8_t& value) {
  const auto content = reader.Read(kTagInteger);
  if (!content || content->size() != 1 || (*content)[0] >= 0x80) return false;
  value = (*content)[0];
  return true;
}

// BIT STRING { 0 unused bits, 04, X, Y }.
bool ReadPoint(Bytes bitString, P256KeyMaterial& key) {
  if (bitString.size() != 2 + 2 * kP256FieldBytes || bitString[0] != 0 || bitString[1] != 0x04) {
    return false;
  }
  std::copy_n(bitString.begin() + 2, kP256FieldBytes, key.x.begin());
  std::copy_n(bitString.begin() + 2 + kP256FieldBytes, kP256FieldBytes, key.y.begin());
  key.hasPublicKey = true;
  return true;
}

// The inner ECPrivateKey (RFC 5915).
bool ReadEcPrivateKey(Bytes der, P256KeyMaterial& key, std::string& error) {
  DerReader outer(der);
  const auto body = outer.Read(kTagSequence);
  if (!body || !outer.AtEnd()) {
    error = "the private key is not an EC private key structure";
    return false;
  }
  DerReader reader(*body);
  uint8_t version = 0;
  const bool versionRead = ReadSmallInteger(reader, version);
  const auto scalar = reader.Read(kTagOctetString);
  if (!versionRead || version != 1 || !scalar || scalar->empty() ||
      scalar->size() > kP256FieldBytes) {
    error = "the EC private key has no valid P-256 private scalar";
    return false;
  }
  key.d.fill(0);
  std::copy(scalar->begin(), scalar->end(), key.d.end() - scalar->size());
  if (reader.PeekTag() == kTagContext0) {
    DerReader parameters(reader.Read(kTagContext0).value_or(Bytes{}));
    const auto curve = parameters.Read(kTagOid);
    if (!curve || !parameters.AtEnd() || !SameBytes(*curve, kP256Oid)) {
      error = "the EC private key names another curve than P-256";
      return false;
    }
  }
  if (reader.PeekTag() == kTagContext1) {
    DerReader publicKey(reader.Read(kTagContext1).value_or(Bytes{}));
    const auto point = publicKey.Read(kTagBitString);
    if (!point || !publicKey.AtEnd() || !ReadPoint(*point, key)) {
      error = "the EC private key carries a public key that is not an uncompressed P-256 point";
      return false;
    }
  }
  if (!reader.AtEnd()) {
    error = "the EC private key has unexpected content";
    return false;
  }
  return true;
}

// One INTEGER of a signature, left-padded to 32 bytes.
bool ReadSignatureInteger(DerReader& reader, uint8_t* out) {
  const auto content = reader.Read(kTagInteger);
  if (!content || content->empty() || ((*content)[0] & 0x80) != 0) return false;  // negative
  Bytes digits = *content;
  if (digits.size() > 1 && digits[0] == 0) {
    if ((digits[1] & 0x80) == 0) return false;  // a zero byte that is not needed
    digits = digits.subspan(1);
  }
  if (digits.size() > kP256FieldBytes) return false;
  std::fill_n(out, kP256FieldBytes, 0);
  std::copy(digits.begin(), digits.end(), out + kP256FieldBytes - digits.size());
  return true;
}

// A positive INTEGER of up to 32 big-endian bytes at `out`; returns the end of what it wrote.
uint8_t* WriteInteger(uint8_t* out, Bytes value) {
  size_t skip = 0;
  while (skip + 1 < value.size() && value[skip] == 0)
    ++skip;
  const bool pad = (value[skip] & 0x80) != 0;
  *out++ = kTagInteger;
  *out++ = static_cast<uint8_t>(value.size() - skip + (pad ? 1 : 0));
  if (pad) *out++ = 0;
  return std::copy(value.begin() + static_cast<std::ptrdiff_t>(skip), value.end(), out);
}

}  // namespace

std::vector<uint8_t> EncodeP256Pkcs8(const P256KeyMaterial& key) {
  std::vector<uint8_t> der(138);
  auto at = std::copy(std::begin(kPkcs8Prefix), std::end(kPkcs8Prefix), der.begin());
  at = std::copy(key.d.begin(), key.d.end(), at);
  at = std::copy(std::begin(kPkcs8PointPrefix), std::end(kPkcs8PointPrefix), at);
  at = std::copy(key.x.begin(), key.x.end(), at);
  std::copy(key.y.begin(), key.y.end(), at);
  return der;
}

bool DecodeP256Pkcs8(std::span<const uint8_t> der, P256KeyMaterial& key, std::string& error) {
  key = {};
  DerReader outer(der);
  const auto body = outer.Read(kTagSequence);
  if (!body || !outer.AtEnd()) {
    error = "the key is not a PKCS#8 structure";
    return false;
  }
  DerReader reader(*body);
  uint8_t version = 0;
  if (!ReadSmallInteger(reader, version) || version > 1) {
    error = "the key is not a PKCS#8 structure of version 0 or 1";
    return false;
  }
  DerReader algorithm(reader.Read(kTagSequence).value_or(Bytes{}));
  const Bytes type = algorithm.Read(kTagOid).value_or(Bytes{});
  const Bytes curve = algorithm.Read(kTagOid).value_or(Bytes{});
  if (!SameBytes(type, kEcPublicKeyOid)) {
    error = "the key is not an elliptic-curve key";
    return false;
  }
  if (!SameBytes(curve, kP256Oid) || !algorithm.AtEnd()) {
    error = "the key is not on the P-256 curve";
    return false;
  }
  const auto privateKey = reader.Read(kTagOctetString);
  if (!privateKey) {
    error = "the PKCS#8 structure holds no private key";
    return false;
  }
  if (!ReadEcPrivateKey(*privateKey, key, error)) return false;
  if (reader.PeekTag() == kTagContext0) reader.Read(kTagContext0);  // attributes: not used
  if (reader.PeekTag() == 0x81) {
    // Version 1 may carry the public key once more, outside the ECPrivateKey.
    const auto point = reader.Read(0x81);
    P256KeyMaterial outside;
    if (!point || !ReadPoint(*point, outside)) {
      error = "the PKCS#8 public key is not an uncompressed P-256 point";
      return false;
    }
    if (key.hasPublicKey && (outside.x != key.x || outside.y != key.y)) {
      error = "the PKCS#8 structure carries two different public keys";
      return false;
    }
    key.x = outside.x;
    key.y = outside.y;
    key.hasPublicKey = true;
  }
  if (!reader.AtEnd()) {
    error = "the PKCS#8 structure has unexpected content";
    return false;
  }
  return true;
}

std::vector<uint8_t> EncodeP256Spki(std::span<const uint8_t, kP256FieldBytes> x,
                                    std::span<const uint8_t, kP256FieldBytes> y) {
  std::vector<uint8_t> der(sizeof kSpkiPrefix + 2 * kP256FieldBytes);
  auto at = std::copy(std::begin(kSpkiPrefix), std::end(kSpkiPrefix), der.begin());
  at = std::copy(x.begin(), x.end(), at);
  std::copy(y.begin(), y.end(), at);
  return der;
}

bool DecodeP256Spki(std::span<const uint8_t> spki, std::array<uint8_t, kP256FieldBytes>& x,
                    std::array<uint8_t, kP256FieldBytes>& y) {
  if (spki.size() != sizeof kSpkiPrefix + 2 * kP256FieldBytes ||
      !SameBytes(spki.first(sizeof kSpkiPrefix), kSpkiPrefix)) {
    return false;
  }
  std::copy_n(spki.begin() + sizeof kSpkiPrefix, kP256FieldBytes, x.begin());
  std::copy_n(spki.begin() + sizeof kSpkiPrefix + kP256FieldBytes, kP256FieldBytes, y.begin());
  return true;
}

std::vector<uint8_t> EcdsaRawToDer(std::span<const uint8_t, 2 * kP256FieldBytes> raw) {
  // SEQUENCE header, then two INTEGERs of at most 2 + 33 bytes each.
  std::array<uint8_t, 2 + 2 * (2 + kP256FieldBytes + 1)> der{};
  uint8_t* end = WriteInteger(der.data() + 2, raw.first<kP256FieldBytes>());
  end = WriteInteger(end, raw.last<kP256FieldBytes>());
  der[0] = kTagSequence;
  der[1] = static_cast<uint8_t>(end - der.data() - 2);
  return std::vector<uint8_t>(der.data(), end);
}

bool EcdsaDerToRaw(std::span<const uint8_t> der, std::array<uint8_t, 2 * kP256FieldBytes>& raw) {
  DerReader outer(der);
  const auto body = outer.Read(kTagSequence);
  if (!body || !outer.AtEnd()) return false;
  DerReader reader(*body);
  return ReadSignatureInteger(reader, raw.data()) &&
         ReadSignatureInteger(reader, raw.data() + kP256FieldBytes) && reader.AtEnd();
}

}  // namespace tvde
