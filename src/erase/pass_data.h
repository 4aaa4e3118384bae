#pragma once
// What a pass writes at every offset of the disk, so that a read-back can compare with it: a
// fixed byte, a three-byte pattern whose phase restarts with every write chunk, or a random
// stream, the AES-256-CTR keystream under the job's secret key and the pass's own nonce.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "base/device.h"
#include "base/keystream.h"
#include "base/random.h"
#include "erase/erase_standard.h"

namespace tvde {

// Passes write from byte 0 in chunks of this size; a three-byte pattern starts anew with each.
inline constexpr size_t kWriteChunkBytes = size_t{4} * 1024 * 1024;

// The data of a random pass: bytes [offset, offset + out.size()) of its stream, or false when
// the generator fails. Callable from any thread.
using PassStream = std::function<bool(uint64_t offset, std::span<uint8_t> out)>;

// The secret behind a job's random passes: a 256-bit key and a 64-bit nonce drawn afresh for
// each job. It lives only in memory, in one place shared by the streams made from it, and is
// wiped when the last of them is gone; no record, report, log line or stamp ever holds it.
class RandomPassSecret {
 public:
  using Draw = std::function<bool(std::span<uint8_t> out)>;

  RandomPassSecret() = default;  // invalid: its streams are empty
  // Key and nonce from `draw`: the OS generator, unless a test hands in bytes of its own.
  // Invalid when the draw fails.
  static RandomPassSecret Drawn(const Draw& draw = FillRandom);

  bool valid() const { return material_ != nullptr; }
  // The stream of pass `passNumber`: the keystream under the job's key and a nonce of the
  // pass's own (the job's nonce with the pass number folded in, so no two passes share one).
  // Empty when the secret is invalid.
  PassStream StreamFor(int32_t passNumber) const;

 private:
  struct Material;
  std::shared_ptr<const Material> material_;
};

// Fills `out` with what `pass` writes at [offset, offset + out.size()); `stream` gives the data
// of a random pass. False when a random pass has no stream or its stream fails.
bool FillPassData(const PassSpec& pass, const PassStream& stream, uint64_t offset,
                  std::span<uint8_t> out);

// What the disk should hold after a pass: its data, except where zeroes were written after it
// (the partition-table wipe follows the last pass).
struct ExpectedContent {
  const PassSpec* pass = nullptr;  // null: no pass was written, nothing can be compared
  PassStream stream;               // the data of a random pass
  std::vector<ByteRange> zeroed;   // written with zeroes after the pass
};

// Fills `out` with what the disk should hold at [offset, offset + out.size()) and returns how
// many of those bytes lie in zeroed ranges, or nothing when the pass data cannot be produced.
// The content must name a pass.
std::optional<uint64_t> FillExpected(const ExpectedContent& expected, uint64_t offset,
                                     std::span<uint8_t> out);

}  // namespace tvde
