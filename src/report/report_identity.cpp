// Certificate ID and time stamp formats.
#include "report/report_identity.h"

#include "base/random.h"
#include "base/text.h"

namespace tvde {

std::wstring FormatCertificateId(const LocalTime& t, const std::array<uint8_t, 4>& r) {
  return FormatPrintfW("TVDE-%04d%02d%02d-%02d%02d%02d-%02X%02X%02X%02X", t.year, t.month, t.day,
                       t.hour, t.minute, t.second, r[0], r[1], r[2], r[3]);
}

std::wstring FormatTimestamp(const LocalTime& t) {
  return FormatPrintfW("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                       t.second);
}

std::wstring MakeCertificateId() {
  const LocalTime now = CurrentLocalTime();
  std::array<uint8_t, 4> random{};
  // A failed random source leaves the ID ending in "00000000" rather than stopping a job.
  if (!FillRandom(random)) random.fill(0);
  return FormatCertificateId(now, random);
}

std::wstring FormatLocalTimestamp() {
  return FormatTimestamp(CurrentLocalTime());
}

}  // namespace tvde
