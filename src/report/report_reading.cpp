// Reading the JSON report and the certificate-only fields of the HTML certificate back.
#include "report/report_reading.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/text.h"
#include "erase/erase_standard.h"
#include "hardware/hardware_fields.h"
#include "report/firmware_lines.h"
#include "report/json_lines.h"
#include "report/report_labels.h"

namespace tvde {
namespace {

template <typename Number>
bool ParseNumber(const std::wstring& text, Number& value) {
  const std::string narrow = WideToUtf8(text);
  const auto [end, ec] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
  return ec == std::errc() && end == narrow.data() + narrow.size() && !narrow.empty();
}

// The text between the first `before` and the next `after`.
bool Between(std::string_view text, std::string_view before, std::string_view after,
             std::string& out) {
  const size_t start = text.find(before);
  if (start == std::string_view::npos) return false;
  const size_t end = text.find(after, start + before.size());
  if (end == std::string_view::npos) return false;
  out = std::string(text.substr(start + before.size(), end - start - before.size()));
  return true;
}

// The five entities the certificate writes; the page's values hold no other markup.
std::string UnescapeHtml(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    bool replaced = false;
    for (const auto& [entity, ch] : kEntities) {
      if (text.substr(i, entity.size()) == entity) {
        out.push_back(ch);
        i += entity.size() - 1;
        replaced = true;
        break;
      }
    }
    if (!replaced) out.push_back(text[i]);
  }
  return out;
}

}  // namespace

bool ReadJsonReport(std::string_view utf8, ReportData& report, std::string& error) {
  std::vector<JsonLineMember> members;
  if (!ReadJsonLines(utf8, members, error)) return false;
  const auto text = [&](const char* path, std::wstring& field) {
    const std::wstring* value = FindJsonString(members, path);
    if (value == nullptr) {
      error = std::string("no text member \"") + path + "\"";
      return false;
    }
    field = *value;
    return true;
  };
  const auto number = [&](const char* path) -> const std::wstring* {
    for (const JsonLineMember& member : members) {
      if (!member.isString && member.path == path) return &member.value;
    }
    error = std::string("no number member \"") + path + "\"";
    return nullptr;
  };

  ReportData r;
  std::wstring executionMode;
  std::wstring standard;
  if (!text("certificateId", r.certificateId) || !text("startTime", r.startTime) ||
      !text("endTime", r.endTime) || !text("executionMode", executionMode) ||
      !text("operatorName", r.config.operatorName) ||
      !text("organizationName", r.config.organizationName) ||
      !text("sanitization.standard", standard) ||
      !text("sanitization.verificationResult", r.verificationResult) ||
      !text("sanitization.diskStampStatus", r.diskStampStatus) ||
      !text("sha256Fingerprint", r.sha256Fingerprint)) {
    return false;
  }
  if (const std::wstring* trim = FindJsonString(members, "trimNotice")) r.trimNotice = *trim;
  if (const std::wstring* scope = FindJsonString(members, "sanitization.verificationScope")) {
    r.verificationScope = *scope;
  }
  for (const JsonLineMember& member : members) {
    if (member.isString) {
      SetFirmwareText(r.firmware, member.path, member.value);
    } else if (member.path == kFirmwareElapsedKey &&
               !ParseNumber(member.value, r.firmware.elapsedSeconds)) {
      error = "the firmware elapsed time is no number";
      return false;
    }
  }
  for (const HardwareFieldRef& field : kHardwareFields) {
    const std::string path = std::string("hardwareDetails.") + field.name;
    if (!text(path.c_str(), r.stamp.hardware.*field.member)) return false;
  }

  if (executionMode == ExecutionModeJsonLabel(ExecutionMode::RealWrite)) {
    r.config.executionMode = ExecutionMode::RealWrite;
  } else if (executionMode != ExecutionModeJsonLabel(ExecutionMode::Simulation)) {
    error = "unknown execution mode \"" + WideToUtf8(executionMode) + "\"";
    return false;
  }
  bool standardKnown = false;
  for (int32_t i = 0; i < kStandardCount && !standardKnown; ++i) {
    const auto candidate = static_cast<EraseStandard>(i);
    if (StandardLabel(candidate) == standard) {
      r.config.standard = candidate;
      standardKnown = true;
    }
  }
  if (!standardKnown) {
    error = "unknown erase standard \"" + WideToUtf8(standard) + "\"";
    return false;
  }

  const std::wstring* elapsed = number("elapsedSeconds");
  const std::wstring* completed = number("sanitization.passesCompleted");
  const std::wstring* planned = number("sanitization.passesPlanned");
  if (elapsed == nullptr || completed == nullptr || planned == nullptr) return false;
  if (*elapsed == L"null") {
    r.elapsedSeconds = std::numeric_limits<double>::quiet_NaN();
  } else if (!ParseNumber(*elapsed, r.elapsedSeconds)) {
    error = "elapsedSeconds is not a number";
    return false;
  }
  if (!ParseNumber(*completed, r.passesCompleted) || !ParseNumber(*planned, r.passesPlanned)) {
    error = "the pass counts are not whole numbers";
    return false;
  }
  report = std::move(r);
  return true;
}

bool ReadCertificateOnlyFields(std::string_view utf8, ReportData& report, std::string& error) {
  // Values are escaped, so none of them holds "<" and these markers are the page's own.
  std::string badge;
  std::string environment;
  std::string dateRow;
  std::string notes;
  if (!Between(utf8, "<div class=\"badge\">", "</div>", badge) ||
      !Between(utf8, "<tr><th>Software version</th><td>" + WideToUtf8(ProductSuiteText()) + " (",
               ")</td></tr>", environment) ||
      !Between(utf8, "<tr><th>Report date (発行日時)</th><td>", "</td></tr>", dateRow) ||
      !Between(utf8, "<tr><th>Notes (備考)</th><td>", "</td></tr>", notes)) {
    error = "the certificate lacks the badge, software, date or notes row";
    return false;
  }
  constexpr std::string_view kElapsedStart = " (所要時間: ";
  constexpr std::string_view kElapsedEnd = " 秒)";
  const size_t elapsedAt = dateRow.rfind(kElapsedStart);
  if (elapsedAt == std::string::npos || !dateRow.ends_with(kElapsedEnd)) {
    error = "the certificate's date row has no elapsed time";
    return false;
  }
  const std::string elapsed =
      dateRow.substr(elapsedAt + kElapsedStart.size(),
                     dateRow.size() - kElapsedEnd.size() - elapsedAt - kElapsedStart.size());
  // The badge of each status for this record (a completed job's also depends on its verdict);
  // kStatusFailed is the code every failed job carries.
  bool badgeKnown = false;
  for (const int32_t status : {kStatusCompleted, kStatusCancelled, kStatusFailed}) {
    ReportData probe = report;
    probe.statusCode = status;
    if (!badgeKnown && StatusBadge(probe).first == Utf8ToWide(badge)) {
      report.statusCode = status;
      badgeKnown = true;
    }
  }
  if (!badgeKnown) {
    error = "unknown status badge \"" + badge + "\"";
    return false;
  }
  const std::wstring environmentLabel = Utf8ToWide(UnescapeHtml(environment));
  report.isWinPE = environmentLabel == EnvironmentLabel(1) ? 1 : 0;
  if (report.isWinPE == 0 && environmentLabel != EnvironmentLabel(0))
    report.hostSystem = environmentLabel;
  if (!ParseNumber(Utf8ToWide(elapsed), report.elapsedSeconds)) {
    error = "the elapsed time is not a number";
    return false;
  }
  // An empty note is printed as "-", as is a note of just "-": both print the same.
  report.config.notes = notes == "-" ? std::wstring() : Utf8ToWide(UnescapeHtml(notes));
  return true;
}

std::vector<DiskInfo> TargetDiskReadings(const HardwareProfile& hardware) {
  constexpr std::wstring_view kModel = L", Model: ";
  constexpr std::wstring_view kSerial = L", Serial: ";
  constexpr std::wstring_view kSectors = L" Sector(s), Sector size: ";
  const std::wstring& geometry = hardware.diskGeometry;

  // "... / N Sector(s), Sector size: B B": the size is N times B (sizes are whole sectors).
  const size_t sectorsAt = geometry.rfind(kSectors);
  const size_t slash =
      sectorsAt == std::wstring::npos ? sectorsAt : geometry.rfind(L" / ", sectorsAt);
  if (slash == std::wstring::npos || geometry.size() < sectorsAt + kSectors.size() + 2 ||
      geometry.compare(geometry.size() - 2, 2, L" B") != 0) {
    return {};
  }
  uint64_t sectors = 0;
  uint64_t sectorSize = 0;
  if (!ParseNumber(geometry.substr(slash + 3, sectorsAt - slash - 3), sectors) ||
      !ParseNumber(geometry.substr(sectorsAt + kSectors.size(),
                                   geometry.size() - 2 - sectorsAt - kSectors.size()),
                   sectorSize) ||
      sectorSize == 0 || sectors > std::numeric_limits<uint64_t>::max() / sectorSize) {
    return {};
  }

  const std::wstring& disk = hardware.disk;
  const size_t modelAt = disk.find(kModel);
  if (modelAt == std::wstring::npos) return {};
  std::vector<DiskInfo> readings;
  for (size_t serialAt = disk.find(kSerial, modelAt + kModel.size());
       serialAt != std::wstring::npos; serialAt = disk.find(kSerial, serialAt + 1)) {
    DiskInfo reading;
    reading.model = disk.substr(modelAt + kModel.size(), serialAt - modelAt - kModel.size());
    reading.serialNumber = disk.substr(serialAt + kSerial.size());
    reading.sizeBytes = sectors * sectorSize;
    reading.bytesPerSector = static_cast<uint32_t>(sectorSize);
    readings.push_back(reading);
  }
  return readings;
}

LineDifference FirstDifferentLine(std::string_view actual, std::string_view expected) {
  constexpr size_t npos = std::string_view::npos;
  LineDifference difference;
  // The lines before the current one are equal, so `start` lies within both texts.
  for (size_t start = 0, line = 1; actual != expected; ++line) {
    const size_t a = actual.find('\n', start);
    const size_t e = expected.find('\n', start);
    const std::string_view lineA = actual.substr(start, a == npos ? npos : a - start);
    const std::string_view lineE = expected.substr(start, e == npos ? npos : e - start);
    if (lineA != lineE || a != e) {
      difference.line = line;
      difference.actual = std::string(lineA);
      difference.expected = std::string(lineE);
      break;
    }
    start = a + 1;
  }
  return difference;
}

std::string ReportFileBytes(const std::wstring& text) {
  return WideToUtf8(ReplaceUnencodable(text));
}

}  // namespace tvde
