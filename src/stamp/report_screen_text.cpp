// Builds the text-mode report screen from the stored block values.
#include "stamp/report_screen_text.h"

#include "stamp/stamp_texts.h"

namespace tvde {

static_assert(kStampStatusUnverified.size() <= kStampStatusVerified.size() + 2,
              "the first screen line keeps at least one space before the status");

std::string BuildReportScreenText(const EfiReportBlock& block, const StampPayload& payload) {
  const auto report = [&block](size_t row) { return EfiReportValue(block, row); };
  const auto hardware = [&block](size_t row) { return EfiHardwareValue(block, row); };

  std::string text;
  const auto fixed = [&text](const std::string& line) { text += line + "\r\n"; };
  const auto fitted = [&text](const std::string& line) { text += FitReportLine(line) + "\r\n"; };

  // 78 characters either way: the longer unverified status takes one of the three spaces.
  const std::string_view status = StampStatusText(payload);
  const std::string gap(kStampStatusVerified.size() + 3 - status.size(), ' ');
  fixed(" TOREVAL DISK ERASER - SANITIZATION & HARDWARE REPORT" + gap + "[" + std::string(status) +
        "]");
  fitted(" Cert: " + report(0) + " | Date: " + report(1));
  fixed(" [Report Details]");
  fitted("  Software Version : " + report(2));
  fitted("  Erasure Standard : " + report(3));
  fitted("  Verification     : " + report(4));
  fitted("  SHA-256 Digest   : " + report(6));
  fixed(" [Hardware Details]");
  fitted("  Manufacturer     : " + hardware(0));
  fitted("  Chassis / Model  : " + hardware(1) + " / " + hardware(2));
  fitted("  Serial / Asset   : " + hardware(3) + " (Asset: " + hardware(5) + ")");
  fitted("  System UUID      : " + hardware(4));
  fitted("  Processor (CPU)  : " + hardware(6));
  fitted("  Total Memory     : " + hardware(7));
  fitted("  Disk             : " + hardware(8));
  fitted("  Disk Geometry    : " + hardware(9));
  fitted("  Graphics Card    : " + hardware(10));
  fitted("  Sound Cards      : " + hardware(11));
  fitted("  Network / MAC    : " + hardware(12));
  fitted("  Motherboard      : " + hardware(13));
  fitted("  BIOS Information : " + ToPrintableAscii(payload.hardware.biosInformation));
  fitted("  Storage Control  : " + ToPrintableAscii(payload.hardware.storageController));
  fitted("  Operator / Org   : " + report(5));
  // The screen's one spare line: the whole outcome fits its 78 columns.
  fitted(payload.trimNotice.empty() ? "" : " TRIM: " + ToPrintableAscii(payload.trimNotice));
  text += status == kStampStatusNotCertified
              ? " Status: Report Stamp Only - No Erasure Certified. Bootable Stamp (No OS)."
              : " Status: Data Permanently Sanitized. Bootable Report Stamp Active (No OS).";
  return text;
}

}  // namespace tvde
