#pragma once
// AES-256 in counter mode as a keystream that can be produced again at any offset: data written
// from it can be compared later without keeping a copy. The cipher is the OS's (OpenSSL's EVP
// on POSIX, CNG's AES on Windows).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tvde {

inline constexpr size_t kKeystreamKeyBytes = 32;
inline constexpr size_t kKeystreamBlockBytes = 16;
using KeystreamKey = std::array<uint8_t, kKeystreamKeyBytes>;
using KeystreamCounter = std::array<uint8_t, kKeystreamBlockBytes>;

// Bytes [offset, offset + out.size()) of the keystream whose counter block number i is the
// nonce (8 bytes, big-endian) followed by i (8 bytes, big-endian). False when the cipher is not
// available or fails; `out` is then unspecified. Keeps no state: callable from any thread.
bool GenerateKeystream(const KeystreamKey& key, uint64_t nonce, uint64_t offset,
                       std::span<uint8_t> out);

// OS layer: the keystream from counter block `counter` on, the counter incremented as one
// 128-bit big-endian number; out.size() is a multiple of kKeystreamBlockBytes.
bool AesCtrKeystreamBlocks(const KeystreamKey& key, const KeystreamCounter& counter,
                           std::span<uint8_t> out);

}  // namespace tvde
