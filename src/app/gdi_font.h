#pragma once
// Move-only owner of a GDI font handle.

#include <windows.h>

#include <utility>

namespace tvde {

class GdiFont {
 public:
  GdiFont() = default;
  explicit GdiFont(HFONT font) : font_(font) {}
  GdiFont(GdiFont&& other) noexcept : font_(std::exchange(other.font_, nullptr)) {}
  GdiFont& operator=(GdiFont&& other) noexcept {
    if (this != &other) {
      Reset();
      font_ = std::exchange(other.font_, nullptr);
    }
    return *this;
  }
  GdiFont(const GdiFont&) = delete;
  GdiFont& operator=(const GdiFont&) = delete;
  ~GdiFont() { Reset(); }

  HFONT get() const { return font_; }
  void Reset() {
    if (font_ != nullptr) DeleteObject(font_);
    font_ = nullptr;
  }

 private:
  HFONT font_ = nullptr;
};

}  // namespace tvde
