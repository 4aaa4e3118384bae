#pragma once
// Move-only owner of a Win32 kernel handle (Windows build only).

#include <windows.h>

#include <utility>

namespace tvde {

inline bool IsValidHandle(HANDLE h) {
  return h != nullptr && h != INVALID_HANDLE_VALUE;
}

class WinHandle {
 public:
  WinHandle() = default;
  explicit WinHandle(HANDLE h) : handle_(h) {}
  WinHandle(WinHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  WinHandle& operator=(WinHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  WinHandle(const WinHandle&) = delete;
  WinHandle& operator=(const WinHandle&) = delete;
  ~WinHandle() { Reset(); }

  bool valid() const { return IsValidHandle(handle_); }
  HANDLE get() const { return handle_; }
  void Reset() {
    if (valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace tvde
