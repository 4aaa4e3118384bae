// JSON report writer with literal punctuation and escaped string values.
#include "report/json_report.h"

#include <cmath>
#include <sstream>

#include "base/text.h"
#include "report/firmware_lines.h"
#include "report/report_labels.h"

namespace tvde {

std::wstring EscapeJsonString(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t ch : text) {
    switch (ch) {
      case L'"':
        out += L"\\\"";
        break;
      case L'\\':
        out += L"\\\\";
        break;
      case L'\b':
        out += L"\\b";
        break;
      case L'\f':
        out += L"\\f";
        break;
      case L'\n':
        out += L"\\n";
        break;
      case L'\r':
        out += L"\\r";
        break;
      case L'\t':
        out += L"\\t";
        break;
      default:
        if (static_cast<uint32_t>(ch) < 0x20) {
          out += FormatPrintfW("\\u%04X", static_cast<unsigned>(ch));
        } else {
          out.push_back(ch);
        }
    }
  }
  return out;
}

std::wstring FormatJsonNumber(double value) {
  if (!std::isfinite(value)) return L"null";
  std::string text = FormatPrintf("%.6g", value);
  // Some C runtimes print three exponent digits ("1.23457e+006"); the general form has at
  // least two.
  const size_t e = text.find('e');
  if (e != std::string::npos && e + 2 < text.size()) {
    size_t digits = e + 2;  // after the sign
    while (text.size() - digits > 2 && text[digits] == '0')
      text.erase(digits, 1);
  }
  return AsciiToWide(text);
}

std::wstring BuildJsonReport(const ReportData& r) {
  const HardwareProfile& hw = r.stamp.hardware;
  std::wostringstream out;
  const auto text = [&out](const wchar_t* indentAndKey, const std::wstring& value, bool last) {
    out << indentAndKey << L": \"" << EscapeJsonString(value) << L"\"" << (last ? L"\n" : L",\n");
  };
  out << L"{\n";
  text(L"  \"certificateId\"", r.certificateId, false);
  text(L"  \"application\"", ProductVersionText(), false);
  text(L"  \"startTime\"", r.startTime, false);
  text(L"  \"endTime\"", r.endTime, false);
  out << L"  \"elapsedSeconds\": " << FormatJsonNumber(r.elapsedSeconds) << L",\n";
  text(L"  \"executionMode\"", ExecutionModeJsonLabel(r.config.executionMode), false);
  text(L"  \"operatorName\"", r.config.operatorName, false);
  text(L"  \"organizationName\"", r.config.organizationName, false);
  out << L"  \"hardwareDetails\": {\n";
  text(L"    \"manufacturer\"", hw.manufacturer, false);
  text(L"    \"chassisType\"", hw.chassisType, false);
  text(L"    \"model\"", hw.model, false);
  text(L"    \"serial\"", hw.serial, false);
  text(L"    \"uuid\"", hw.uuid, false);
  text(L"    \"assetTag\"", hw.assetTag, false);
  text(L"    \"processor\"", hw.processor, false);
  text(L"    \"totalMemory\"", hw.totalMemory, false);
  text(L"    \"disk\"", hw.disk, false);
  text(L"    \"diskGeometry\"", hw.diskGeometry, false);
  text(L"    \"graphicsCard\"", hw.graphicsCard, false);
  text(L"    \"soundCards\"", hw.soundCards, false);
  text(L"    \"networkAdapters\"", hw.networkAdapters, false);
  text(L"    \"motherboard\"", hw.motherboard, false);
  text(L"    \"biosInformation\"", hw.biosInformation, false);
  text(L"    \"storageController\"", hw.storageController, true);
  out << L"  },\n";
  out << L"  \"sanitization\": {\n";
  text(L"    \"standard\"", ReportStandardName(r), false);
  out << L"    \"passesCompleted\": " << std::to_wstring(r.passesCompleted) << L",\n";
  out << L"    \"passesPlanned\": " << std::to_wstring(r.passesPlanned) << L",\n";
  text(L"    \"verificationResult\"", r.verificationResult, false);
  // Only a job that read the disk back has the member; every other line stays as it was.
  if (!r.verificationScope.empty()) text(L"    \"verificationScope\"", r.verificationScope, false);
  text(L"    \"diskStampStatus\"", r.diskStampStatus, true);
  out << L"  },\n";
  // Only a real job that sent the notice has the member; every other line stays as it was.
  if (!r.trimNotice.empty()) text(L"  \"trimNotice\"", r.trimNotice, false);
  for (const FirmwareLine& line : FirmwareLines(r.firmware)) {
    const std::wstring key = L"  \"" + AsciiToWide(line.jsonKey) + L"\"";
    if (line.number) {
      out << key << L": " << FormatPrintfW("%.2f", line.seconds) << L",\n";
    } else {
      text(key.c_str(), line.value, false);
    }
  }
  text(L"  \"sha256Fingerprint\"", r.sha256Fingerprint, true);
  out << L"}\n";
  return out.str();
}

}  // namespace tvde
