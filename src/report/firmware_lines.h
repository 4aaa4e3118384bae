#pragma once
// The firmware and hidden-area lines every report format prints, in one order with their TXT
// label, JSON key and certificate header; only the lines a job set are listed.

#include <string>
#include <vector>

#include "erase/firmware_step.h"

namespace tvde {

struct FirmwareLine {
  const wchar_t* txtLabel;    // 23 characters, as every audit-log label
  const char* jsonKey;        // a top-level member of the JSON report
  const wchar_t* htmlHeader;  // the certificate's details table
  std::wstring value;         // as printed in the TXT and HTML
  bool number = false;        // the JSON member is `seconds`, a number with two decimals
  double seconds = 0;
};

std::vector<FirmwareLine> FirmwareLines(const FirmwareReport& report);

// The JSON key of the elapsed seconds, which the reader takes back as a number.
inline constexpr const char* kFirmwareElapsedKey = "firmwareElapsedSeconds";

// Sets the text member of `report` that `jsonKey` names; false for another key.
bool SetFirmwareText(FirmwareReport& report, const std::string& jsonKey, const std::wstring& value);

}  // namespace tvde
