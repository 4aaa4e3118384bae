#pragma once
// The report and stamp dialog: the erasure report and hardware profile of a stamp payload on
// one screen, with full-screen display, saving to another drive, the stamp switch, the HTML
// certificate and a clipboard copy. Modal to the main window through its own loop.

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/app_services.h"
#include "app/gdi_font.h"
#include "erase/erase_standard.h"

namespace tvde {

inline constexpr const wchar_t* kReportDialogClass = L"TorevalErasureStampDlgClassV2";

enum ReportDialogId : int32_t {
  kIdReportFullScreen = 2001,
  kIdReportSaveElsewhere = 2002,
  kIdReportStampSwitch = 2003,
  kIdReportOpenHtml = 2004,
  kIdReportCopy = 2005,
  kIdReportClose = 2006,
};
inline constexpr int32_t kReportButtonCount = 6;

// The verification a stamp written without a job's certificate ID carries.
inline constexpr const wchar_t* kOperatorStampVerdict = L"STAMPED BY OPERATOR";

// Reached from the window through its user data; lives as long as ShowReportDialog runs.
struct ReportDialogState {
  StampPayload payload;  // what is shown; the stamp and save actions update it
  std::wstring htmlPath;
  ReportData report;
  bool hasReport = false;
  DiskInfo disk;
  bool hasDisk = false;
  bool fullScreen = false;
  RECT savedRect{};
  LONG_PTR savedStyle = 0;
  LONG_PTR savedExStyle = 0;
  GdiFont buttonFont;
  HWND buttons[kReportButtonCount] = {};
  uint32_t dpi = USER_DEFAULT_SCREEN_DPI;
  const AppServices* services = nullptr;  // prompts, the shell and the folder picker
  LogCallback log;
  std::function<bool()> jobRunning;  // empty: no job can run meanwhile
};

// Returns when the window is closed; the request is copied, never changed.
void ShowReportDialog(HWND parent, const ReportDialogRequest& request, const AppServices& services);

LRESULT CALLBACK ReportDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Paints the whole client area (`client` in pixels) at the state's DPI.
void PaintReportView(HDC dc, const RECT& client, const ReportDialogState& state);

// Puts the six buttons at the bottom of the client area.
void LayoutReportButtons(HWND window, const ReportDialogState& state);

// The top of the buttons, at 96 DPI, for a client area this high at 96 DPI.
int32_t ReportButtonTop(int32_t clientHeight);

// The badge of the header: its text and colour. "Verified" only when a real job read the disk
// back and passed; a simulation says so.
struct ReportBadge {
  const wchar_t* text;
  COLORREF colour;
};
ReportBadge BadgeOf(const ReportDialogState& state);

// Whether the report is of a simulation: the job's own mode, or what a payload says of itself.
bool IsSimulation(const ReportDialogState& state);

// The standard whose display label is `label`, as a payload names it.
std::optional<EraseStandard> StandardNamed(const std::wstring& label);

// Whether the whole disk is known to be zeroes once the stamp area is: the job was real, its
// last pass wrote zeroes and its verification passed.
bool ClaimsAllZero(const ReportDialogState& state);

// The names of the report rows in screen order, and a name padded to the 16 characters that
// both the screen and the clipboard text use.
inline constexpr const wchar_t* kReportDetailNames[7] = {
    L"Report UUID / ID", L"Report date",      L"Software version", L"Erasure standard",
    L"Verification",     L"Disk stamp state", L"SHA-256 digest"};
std::wstring PaddedReportName(const wchar_t* name);
struct ReportRow {
  const wchar_t* name;
  const std::wstring* value;
};
std::array<ReportRow, 16> HardwareRows(const HardwareProfile& hardware);

// The report as the clipboard gets it: 29 CRLF-terminated lines.
std::wstring ReportClipboardText(const StampPayload& payload);

// The command handlers of buttons 2002 to 2005 (report_dialog_actions.cpp).
void SaveReportsElsewhere(HWND window, ReportDialogState& state);
void SwitchDiskStamp(HWND window, ReportDialogState& state);
void OpenHtmlCertificate(HWND window, const ReportDialogState& state);
void CopyReportToClipboard(HWND window, const ReportDialogState& state);

}  // namespace tvde
