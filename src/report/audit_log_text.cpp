// TXT audit log: ruled lines, 23-character labels, values as they are.
#include "report/audit_log_text.h"

#include <sstream>

#include "report/firmware_lines.h"
#include "report/report_labels.h"

namespace tvde {
namespace {

constexpr const wchar_t* kDoubleRule =
    L"========================================================================";
constexpr const wchar_t* kSingleRule =
    L"------------------------------------------------------------------------";
constexpr const wchar_t* kEol = L"\r\n";

}  // namespace

std::wstring BuildAuditLogText(const ReportData& r) {
  const HardwareProfile& hw = r.stamp.hardware;
  std::wostringstream out;
  // Every label is two spaces, a 19-character name, a colon and a space: values start in
  // column 24.
  const auto field = [&out](const wchar_t* label, const std::wstring& value) {
    out << label << value << kEol;
  };
  out << kDoubleRule << kEol;
  out << L"  TOREVAL DISK ERASER - SANITIZATION & HARDWARE VERIFICATION REPORT" << kEol;
  out << kDoubleRule << kEol;
  out << L"[Report details]" << kEol;
  field(L"  Report UUID / ID   : ", r.certificateId);
  field(L"  Start Timestamp    : ", r.startTime);
  field(L"  End Timestamp      : ", r.endTime);
  field(L"  Software Version   : ", ProductSuiteText());
  field(L"  Operator / Org     : ", r.config.operatorName + L" / " + r.config.organizationName);
  field(L"  Execution Mode     : ", ExecutionModeTxtLabel(r.config.executionMode));
  field(L"  Sanitization Method: ", ReportStandardName(r));
  field(L"  Passes Completed   : ",
        std::to_wstring(r.passesCompleted) + L" / " + std::to_wstring(r.passesPlanned));
  field(L"  Verification Result: ", r.verificationResult);
  // Only a job that read the disk back has the line; every other line stays where it was.
  if (!r.verificationScope.empty()) field(L"  Verification Scope : ", r.verificationScope);
  field(L"  Disk Stamp Status  : ", r.diskStampStatus);
  // Only a real job that sent the notice has the line; every other line stays where it was.
  if (!r.trimNotice.empty()) field(L"  TRIM Notice        : ", r.trimNotice);
  for (const FirmwareLine& line : FirmwareLines(r.firmware))
    field(line.txtLabel, line.value);
  field(L"  SHA-256 Digest     : ", r.sha256Fingerprint);
  out << kSingleRule << kEol;
  out << L"[Hardware details]" << kEol;
  field(L"  Manufacturer       : ", hw.manufacturer);
  field(L"  Chassis type       : ", hw.chassisType);
  field(L"  Model              : ", hw.model);
  field(L"  Serial             : ", hw.serial);
  field(L"  UUID               : ", hw.uuid);
  field(L"  Asset tag          : ", hw.assetTag);
  field(L"  Processor          : ", hw.processor);
  field(L"  Total memory       : ", hw.totalMemory);
  field(L"  Disk               : ", hw.disk);
  field(L"  Disk geometry      : ", hw.diskGeometry);
  field(L"  Graphics card      : ", hw.graphicsCard);
  field(L"  Sound cards        : ", hw.soundCards);
  field(L"  Network adapters   : ", hw.networkAdapters);
  field(L"  Motherboard        : ", hw.motherboard);
  field(L"  BIOS information   : ", hw.biosInformation);
  field(L"  Storage controller : ", hw.storageController);
  out << kDoubleRule << kEol;
  return out.str();
}

}  // namespace tvde
