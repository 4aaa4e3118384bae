#pragma once
// The 25-line, 80-column ASCII report that the BIOS program prints and REPORT.TXT holds.

#include <string>

#include "stamp/efi_report_block.h"
#include "stamp/stamp_payload.h"

namespace tvde {

inline constexpr size_t kReportScreenLineCount = 25;

// Lines end in CR LF except the last; values are taken from the block as stored so the text
// and graphical screens agree. Not yet cut to its on-disk limit.
std::string BuildReportScreenText(const EfiReportBlock& block, const StampPayload& payload);

}  // namespace tvde
