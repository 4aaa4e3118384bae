#pragma once
// Product identity printed in captions, reports and the stamp.

namespace tvde {

inline constexpr const wchar_t* kProductName = L"Toreval Disk Eraser";
inline constexpr const wchar_t* kProductVersion = L"1.3.0";

}  // namespace tvde
