#pragma once
// Certificate IDs and the local time stamps printed in every report.

#include <array>
#include <cstdint>
#include <string>

#include "base/clock.h"

namespace tvde {

// "TVDE-YYYYMMDD-HHMMSS-XXXXXXXX": local time now and four fresh random bytes (zeroes when
// the random source fails). Always 29 characters.
std::wstring MakeCertificateId();

// "YYYY-MM-DD HH:MM:SS" of the local time now.
std::wstring FormatLocalTimestamp();

// The two formats over given values.
std::wstring FormatCertificateId(const LocalTime& time, const std::array<uint8_t, 4>& random);
std::wstring FormatTimestamp(const LocalTime& time);

}  // namespace tvde
