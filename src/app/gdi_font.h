#pragma once
// Move-only owner of a GDI font handle, and the one way the windows create their fonts.

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

// A Shift-JIS font of the face at `height` pixels (already scaled for the DPI).
inline GdiFont MakeUiFont(int height, int weight, const wchar_t* face,
                          BYTE pitchAndFamily = DEFAULT_PITCH | FF_SWISS) {
  return GdiFont(CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                             pitchAndFamily, face));
}

}  // namespace tvde
