// Pass data at any offset, and the job's random-pass secret.
#include "erase/pass_data.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/byte_order.h"

namespace tvde {

struct RandomPassSecret::Material {
  KeystreamKey key{};
  uint64_t nonce = 0;
  Material() = default;
  Material(const Material&) = delete;
  Material& operator=(const Material&) = delete;
  ~Material() {
    WipeSecret(key);
    WipeSecret(std::span<uint8_t>(reinterpret_cast<uint8_t*>(&nonce), sizeof nonce));
  }
};

RandomPassSecret RandomPassSecret::Drawn(const Draw& draw) {
  auto material = std::make_shared<Material>();
  std::array<uint8_t, 8> nonce{};
  const bool ok = draw && draw(material->key) && draw(nonce);
  material->nonce = GetBe64(nonce);
  WipeSecret(nonce);
  RandomPassSecret secret;
  if (ok) secret.material_ = std::move(material);
  return secret;
}

PassStream RandomPassSecret::StreamFor(int32_t passNumber) const {
  if (material_ == nullptr) return {};
  return [material = material_, nonce = material_->nonce ^ static_cast<uint32_t>(passNumber)](
             uint64_t offset, std::span<uint8_t> out) {
    return GenerateKeystream(material->key, nonce, offset, out);
  };
}

namespace {

// The pattern from byte `phase` of its period on; copies of what is already there keep the
// period, since every copied length is a multiple of 3.
void FillThreeBytePattern(std::span<uint8_t> out, const std::array<uint8_t, 3>& pattern,
                          size_t phase) {
  size_t filled = std::min<size_t>(3, out.size());
  for (size_t i = 0; i < filled; ++i)
    out[i] = pattern[(phase + i) % 3];
  while (filled < out.size()) {
    const size_t n = std::min(filled, out.size() - filled);
    std::memcpy(out.data() + filled, out.data(), n);
    filled += n;
  }
}

}  // namespace

bool FillPassData(const PassSpec& pass, const PassStream& stream, uint64_t offset,
                  std::span<uint8_t> out) {
  switch (pass.kind) {
    case PassKind::FixedByte:
      std::memset(out.data(), pass.pattern[0], out.size());
      return true;
    case PassKind::ThreeBytePattern:
      // Piece by piece within the write chunks, each of which starts the pattern anew.
      for (size_t done = 0; done < out.size();) {
        const uint64_t inChunk = (offset + done) % kWriteChunkBytes;
        const size_t n =
            static_cast<size_t>(std::min<uint64_t>(kWriteChunkBytes - inChunk, out.size() - done));
        FillThreeBytePattern(out.subspan(done, n), pass.pattern, static_cast<size_t>(inChunk % 3));
        done += n;
      }
      return true;
    case PassKind::Random:
      return stream && stream(offset, out);
  }
  return false;
}

std::optional<uint64_t> FillExpected(const ExpectedContent& expected, uint64_t offset,
                                     std::span<uint8_t> out) {
  if (expected.pass == nullptr || !FillPassData(*expected.pass, expected.stream, offset, out)) {
    return std::nullopt;
  }
  uint64_t zeroed = 0;
  const uint64_t end = offset + out.size();
  for (const ByteRange& range : expected.zeroed) {
    const uint64_t from = std::max(offset, range.offset);
    const uint64_t to = std::min(end, range.offset + range.bytes);
    if (from >= to) continue;
    std::memset(out.data() + (from - offset), 0, static_cast<size_t>(to - from));
    zeroed += to - from;
  }
  return zeroed;
}

}  // namespace tvde
