// Keystream at any byte offset: whole counter blocks from the OS cipher, partial blocks at the
// two ends cut from one block each.
#include "base/keystream.h"

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"

namespace tvde {
namespace {

KeystreamCounter CounterBlock(uint64_t nonce, uint64_t block) {
  KeystreamCounter counter{};
  PutBe64(counter, nonce);
  PutBe64(std::span<uint8_t>(counter).subspan(8), block);
  return counter;
}

// The part [skip, skip + out.size()) of one block.
bool PartOfBlock(const KeystreamKey& key, uint64_t nonce, uint64_t block, size_t skip,
                 std::span<uint8_t> out) {
  std::array<uint8_t, kKeystreamBlockBytes> whole{};
  if (!AesCtrKeystreamBlocks(key, CounterBlock(nonce, block), whole)) return false;
  std::memcpy(out.data(), whole.data() + skip, out.size());
  return true;
}

}  // namespace

bool GenerateKeystream(const KeystreamKey& key, uint64_t nonce, uint64_t offset,
                       std::span<uint8_t> out) {
  uint64_t block = offset / kKeystreamBlockBytes;
  const size_t skip = static_cast<size_t>(offset % kKeystreamBlockBytes);
  size_t done = 0;
  if (skip != 0 && !out.empty()) {
    done = std::min(kKeystreamBlockBytes - skip, out.size());
    if (!PartOfBlock(key, nonce, block, skip, out.first(done))) return false;
    ++block;
  }
  const size_t whole = (out.size() - done) / kKeystreamBlockBytes * kKeystreamBlockBytes;
  if (whole > 0) {
    if (!AesCtrKeystreamBlocks(key, CounterBlock(nonce, block), out.subspan(done, whole))) {
      return false;
    }
    done += whole;
    block += whole / kKeystreamBlockBytes;
  }
  if (done < out.size()) return PartOfBlock(key, nonce, block, 0, out.subspan(done));
  return true;
}

}  // namespace tvde
