// Windows keystream cipher: CNG has no counter mode, so the counter blocks are laid out in the
// buffer and encrypted in place with AES-256 in ECB mode, which is what counter mode does.
// windows.h must come first: bcrypt.h relies on its base types.
#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"
#include "base/keystream.h"

namespace tvde {
namespace {

// One provider for the process: an algorithm handle may be used by several threads at once.
BCRYPT_ALG_HANDLE AesEcbProvider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_AES_ALGORITHM, nullptr, 0))) {
      return BCRYPT_ALG_HANDLE{nullptr};
    }
    if (!BCRYPT_SUCCESS(
            BCryptSetProperty(handle, BCRYPT_CHAINING_MODE,
                              reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                              sizeof(BCRYPT_CHAIN_MODE_ECB), 0))) {
      BCryptCloseAlgorithmProvider(handle, 0);
      return BCRYPT_ALG_HANDLE{nullptr};
    }
    return handle;
  }();
  return provider;
}

// A key handle per call: the handle keeps no state between calls and no thread shares it.
class KeyHandle {
 public:
  explicit KeyHandle(const KeystreamKey& key) {
    const BCRYPT_ALG_HANDLE provider = AesEcbProvider();
    if (provider == nullptr) return;
    if (!BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(provider, &handle_, nullptr, 0,
                                                   const_cast<PUCHAR>(key.data()),
                                                   static_cast<ULONG>(key.size()), 0))) {
      handle_ = nullptr;
    }
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  ~KeyHandle() {
    if (handle_ != nullptr) BCryptDestroyKey(handle_);
  }
  BCRYPT_KEY_HANDLE get() const { return handle_; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

}  // namespace

bool AesCtrKeystreamBlocks(const KeystreamKey& key, const KeystreamCounter& counter,
                           std::span<uint8_t> out) {
  const KeyHandle aes(key);
  if (aes.get() == nullptr) return false;
  uint64_t high = GetBe64(counter);
  uint64_t low = GetBe64(std::span<const uint8_t>(counter).subspan(8));
  for (size_t at = 0; at < out.size(); at += kKeystreamBlockBytes) {
    PutBe64(out.subspan(at), high);
    PutBe64(out.subspan(at + 8), low);
    if (++low == 0) ++high;
  }
  // Whole blocks, at most 1 GiB a call (ULONG lengths).
  constexpr size_t kMaxStep = size_t{1} << 30;
  for (size_t done = 0; done < out.size();) {
    const ULONG step = static_cast<ULONG>(std::min(out.size() - done, kMaxStep));
    ULONG produced = 0;
    if (!BCRYPT_SUCCESS(BCryptEncrypt(aes.get(), out.data() + done, step, nullptr, nullptr, 0,
                                      out.data() + done, step, &produced, 0)) ||
        produced != step) {
      return false;
    }
    done += step;
  }
  return true;
}

}  // namespace tvde
