// The painted report of the report and stamp dialog: header, badge, report details and
// hardware details, laid out at 96 DPI and scaled by the device context's mapping.
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "app/gdi_font.h"
#include "app/report_dialog.h"
#include "app/ui_fonts.h"
#include "base/product.h"
#include "erase/erase_standard.h"
#include "erase/firmware_step.h"
#include "erase/verification.h"
#include "report/report_identity.h"
#include "stamp/stamp_texts.h"

namespace tvde {
namespace {

constexpr COLORREF kPageColour = RGB(0xf1, 0xf5, 0xf9);
constexpr COLORREF kNavy = RGB(0x0f, 0x17, 0x2a);
constexpr COLORREF kSky = RGB(0x0e, 0xa5, 0xe9);
constexpr COLORREF kGreen = RGB(0x10, 0xb9, 0x81);
constexpr COLORREF kAmber = RGB(0xf5, 0x9e, 0x0b);
constexpr COLORREF kNeutral = RGB(0x94, 0xa3, 0xb8);  // the certificate's simulation badge
constexpr COLORREF kPaleSky = RGB(0xba, 0xe6, 0xfd);
constexpr COLORREF kOutline = RGB(0xcb, 0xd5, 0xe1);
constexpr COLORREF kLabelColour = RGB(0x33, 0x41, 0x55);
constexpr COLORREF kWhite = RGB(0xff, 0xff, 0xff);

constexpr int32_t kRowStep = 20;
constexpr int32_t kLabelX = 36;
constexpr int32_t kValueX = 207;

bool VerificationPassed(const ReportDialogState& state) {
  return !IsSimulation(state) && state.payload.verification.starts_with(L"PASSED");
}

bool StandardEndsWithZeros(const ReportDialogState& state) {
  const std::optional<EraseStandard> standard =
      state.hasReport ? state.report.config.standard : StandardNamed(state.payload.standardName);
  return standard && PlanEndsWithZeros(BuildPassPlan(*standard));
}

class PaintTools {
 public:
  explicit PaintTools(HDC dc) : dc_(dc) {}
  PaintTools(const PaintTools&) = delete;
  PaintTools& operator=(const PaintTools&) = delete;
  ~PaintTools() {
    SelectObject(dc_, originalFont_);  // before the fonts are deleted with fonts_
  }

  void Fill(int32_t left, int32_t top, int32_t right, int32_t bottom, COLORREF colour) {
    const RECT rect{left, top, right, bottom};
    const HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc_, &rect, brush);
    DeleteObject(brush);
  }

  // A white box with a 1-pixel outline.
  void Box(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Fill(left, top, right, bottom, kOutline);
    Fill(left + 1, top + 1, right - 1, bottom - 1, kWhite);
  }

  HFONT Font(int32_t height, int32_t weight, const wchar_t* face) {
    fonts_.push_back(MakeUiFont(height, weight, face));
    return fonts_.back().get();
  }

  void Text(int32_t x, int32_t y, const std::wstring& text, HFONT font, COLORREF colour) {
    const HGDIOBJ previous = SelectObject(dc_, font);
    if (originalFont_ == nullptr) originalFont_ = previous;
    SetTextColor(dc_, colour);
    TextOutW(dc_, x, y, text.c_str(), static_cast<int>(text.size()));
  }

  void Centred(RECT rect, const std::wstring& text, HFONT font, COLORREF colour) {
    const HGDIOBJ previous = SelectObject(dc_, font);
    if (originalFont_ == nullptr) originalFont_ = previous;
    SetTextColor(dc_, colour);
    DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &rect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }

 private:
  HDC dc_;
  HGDIOBJ originalFont_ = nullptr;
  std::vector<GdiFont> fonts_;
};

std::wstring OrDefault(const std::wstring& value, const std::wstring& fallback) {
  return value.empty() ? fallback : value;
}

}  // namespace

bool IsSimulation(const ReportDialogState& state) {
  if (state.hasReport) return state.report.config.executionMode == ExecutionMode::Simulation;
  return state.payload.verification.find(L"Simulation") != std::wstring::npos ||
         state.payload.stampState == kStampStateSimulation;
}

std::optional<EraseStandard> StandardNamed(const std::wstring& label) {
  for (int32_t value = 0; value < kStandardCount; ++value) {
    const auto standard = static_cast<EraseStandard>(value);
    if (StandardLabel(standard) == label) return standard;
  }
  return std::nullopt;
}

std::wstring PaddedReportName(const wchar_t* name) {
  std::wstring padded = name;
  if (padded.size() < 16) padded.resize(16, L' ');
  return padded;
}

std::array<ReportRow, 16> HardwareRows(const HardwareProfile& h) {
  return {{
      {L"Manufacturer", &h.manufacturer},
      {L"Chassis type", &h.chassisType},
      {L"Model", &h.model},
      {L"Serial", &h.serial},
      {L"UUID", &h.uuid},
      {L"Asset tag", &h.assetTag},
      {L"Processor", &h.processor},
      {L"Total memory", &h.totalMemory},
      {L"Disk", &h.disk},
      {L"Disk geometry", &h.diskGeometry},
      {L"Graphics card", &h.graphicsCard},
      {L"Sound cards", &h.soundCards},
      {L"Network adapters", &h.networkAdapters},
      {L"Motherboard", &h.motherboard},
      {L"BIOS information", &h.biosInformation},
      {L"Storage control", &h.storageController},
  }};
}

ReportBadge BadgeOf(const ReportDialogState& state) {
  if (state.payload.incomplete != 0) return {L"● HARDWARE PREVIEW", kAmber};
  if (IsSimulation(state)) return {L"● SIMULATION (DRY-RUN)", kNeutral};
  // A stamp the operator wrote for a report without a job proves no erasure at all.
  if (state.payload.verification == kOperatorStampVerdict)
    return {L"● STAMPED BY OPERATOR", kAmber};
  if (state.hasReport && LeavesSectorsUnerased(state.report.firmware))
    return {L"★ HIDDEN SECTORS NOT ERASED", kAmber};
  if (VerificationPassed(state)) return {L"★ SANITIZED & VERIFIED", kGreen};
  return {L"★ SANITIZED, UNVERIFIED", kAmber};  // a warning: no read-back passed
}

bool ClaimsAllZero(const ReportDialogState& state) {
  const bool hiddenLeft = state.hasReport && LeavesSectorsUnerased(state.report.firmware);
  return VerificationPassed(state) && StandardEndsWithZeros(state) && !hiddenLeft;
}

void PaintReportView(HDC dc, const RECT& client, const ReportDialogState& state) {
  // Everything below is laid out at 96 DPI; the mapping scales positions and font heights.
  const int32_t dpi = static_cast<int32_t>(state.dpi);
  const int savedDc = SaveDC(dc);
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, USER_DEFAULT_SCREEN_DPI, USER_DEFAULT_SCREEN_DPI, nullptr);
  SetViewportExtEx(dc, dpi, dpi, nullptr);
  SetBkMode(dc, TRANSPARENT);
  const int32_t width = MulDiv(client.right - client.left, USER_DEFAULT_SCREEN_DPI, dpi);
  const int32_t height = MulDiv(client.bottom - client.top, USER_DEFAULT_SCREEN_DPI, dpi);
  {
    PaintTools paint(dc);
    paint.Fill(0, 0, width, height, kPageColour);
    paint.Fill(0, 0, width, 68, kNavy);
    paint.Fill(0, 68, width, 72, kSky);
    paint.Fill(22, 14, 62, 54, kSky);
    paint.Fill(26, 18, 58, 50, kNavy);
    paint.Fill(30, 22, 40, 32, kSky);
    paint.Fill(44, 22, 54, 32, kGreen);
    paint.Fill(30, 36, 40, 46, kGreen);
    paint.Fill(44, 36, 54, 46, kWhite);

    const wchar_t* face = ChooseUiFontFace();
    const HFONT title = paint.Font(24, 900, face);
    const HFONT subtitle = paint.Font(13, FW_NORMAL, face);
    const HFONT section = paint.Font(17, FW_BOLD, face);
    const HFONT label = paint.Font(14, FW_BOLD, face);
    const HFONT value = paint.Font(14, FW_NORMAL, face);

    paint.Text(74, 11, L"TOREVAL DISK ERASER  -  実機消去証明＆ハードウェアレポート", title,
               kWhite);
    paint.Text(
        76, 40,
        L"Machine Sanitization & Hardware Verification Report (BIOS/CSM & UEFI Bootable Stamp Suite)",
        subtitle, kPaleSky);
    const ReportBadge badge = BadgeOf(state);
    paint.Fill(width - 250, 16, width - 22, 52, badge.colour);
    paint.Centred({width - 250, 16, width - 22, 52}, badge.text, label, kNavy);

    const StampPayload& p = state.payload;
    paint.Text(22, 80, L"Report details (消去証明・レポート詳細)", section, kNavy);
    paint.Box(22, 102, width - 22, 254);
    const std::wstring standard =
        p.standardName.empty()
            ? std::wstring(L"NIST SP 800-88 Rev.1 Purge")
            : p.standardName + L" (" + std::to_wstring(p.passesCompleted) + L" Passes)";
    const std::array<std::wstring, 7> details = {
        OrDefault(p.certificateId, L"(未発行 - 消去実行で自動採番)"),
        OrDefault(p.sanitizationDate, FormatLocalTimestamp()),
        OrDefault(p.softwareVersion, std::wstring(kProductName) + L" Suite v" + kProductVersion),
        standard,
        OrDefault(p.verification, L"READY"),
        OrDefault(p.stampState, L"Bootable Report Stamp Ready"),
        OrDefault(p.sha256Fingerprint, L"N/A (Generated upon sanitization completion)"),
    };
    int32_t y = 108;
    for (size_t i = 0; i < details.size(); ++i) {
      const std::wstring& text = details[i];
      paint.Text(kLabelX, y, PaddedReportName(kReportDetailNames[i]) + L" :", label, kLabelColour);
      paint.Text(kValueX, y, text, value, kNavy);
      y += kRowStep;
    }

    paint.Text(22, 264, L"Hardware details (対象実機ハードウェアプロファイル)", section, kNavy);
    paint.Box(22, 286, width - 22, 618);
    y = 292;
    for (const ReportRow& row : HardwareRows(p.hardware)) {
      paint.Text(kLabelX, y, PaddedReportName(row.name) + L" :", label, kLabelColour);
      paint.Text(kValueX, y, *row.value, value, kNavy);
      y += kRowStep;
    }
  }
  RestoreDC(dc, savedDc);
}

}  // namespace tvde
