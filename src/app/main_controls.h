#pragma once
// The main window's controls: their identifiers, the handles kept for later use, and the one
// table (class, text, style, rectangle at 96 DPI, font) that creation and DPI changes walk.

#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

namespace tvde {

enum ControlId : int32_t {
  kIdDiskList = 1001,
  kIdRescan = 1002,
  kIdUnlockInternal = 1003,
  kIdWinPESimulation = 1004,
  kIdRestartAsAdmin = 1005,
  kIdStandard = 1010,
  kIdVerify = 1011,
  kIdExecutionMode = 1012,
  kIdOperator = 1013,
  kIdOrganization = 1014,
  kIdNotes = 1015,
  kIdLogFolder = 1016,
  kIdChangeLogFolder = 1017,
  kIdOpenLogFolder = 1018,
  kIdPostEraseState = 1019,
  kIdConfirmCode = 1020,
  kIdStartErase = 1021,
  kIdAbort = 1022,
  kIdOpenCertificate = 1023,
  kIdReportDialog = 1024,
  kIdLogOutput = 1025,
  kIdFirmwareMode = 1026,
  kIdAdkChoice = 1029,
  kIdAdkButton = 1030,
  kIdWinPEOutput = 1031,
  kIdUsbTarget = 1032,
  kIdCreateMedia = 1033,
  kIdWinPEBoot = 1034,
  kIdWinPEArchitecture = 1035,
};

struct MainControls {
  HWND environmentLabel = nullptr;
  HWND privilegeLabel = nullptr;
  HWND restartAsAdmin = nullptr;
  HWND winpeSimulation = nullptr;
  HWND diskList = nullptr;
  HWND unlockInternal = nullptr;
  HWND selectionLabel = nullptr;
  HWND standard = nullptr;
  HWND standardDescription = nullptr;
  HWND verify = nullptr;
  HWND executionMode = nullptr;
  HWND postEraseState = nullptr;
  HWND operatorName = nullptr;
  HWND organization = nullptr;
  HWND notes = nullptr;
  HWND firmwareMode = nullptr;
  HWND logOutput = nullptr;
  HWND logFolder = nullptr;
  HWND changeLogFolder = nullptr;
  HWND openLogFolder = nullptr;
  HWND adkStatusLabel = nullptr;
  HWND adkChoice = nullptr;
  HWND adkButton = nullptr;
  HWND winpeArchitecture = nullptr;
  HWND winpeOutput = nullptr;
  HWND winpeBoot = nullptr;
  HWND usbTarget = nullptr;
  HWND createMedia = nullptr;
  HWND confirmCode = nullptr;
  HWND startErase = nullptr;
  HWND abort = nullptr;
  HWND passBar = nullptr;
  HWND overallBar = nullptr;
  HWND statusLabel = nullptr;
  HWND logConsole = nullptr;
  std::vector<HWND> all;  // every control, in table order
};

enum class FontRole { Normal, Bold, Title, Console };

struct ControlEntry {
  int32_t id;  // 0: no identifier
  const wchar_t* className;
  const wchar_t* text;
  DWORD style;  // besides WS_CHILD | WS_VISIBLE
  DWORD exStyle;
  int32_t x, y, width, height;  // client pixels at 96 DPI
  FontRole font;
  HWND MainControls::*slot;  // where the handle is kept; nullptr when it is not used later
};

// Every control in creation order, which is also the tab order (reading order by section).
std::span<const ControlEntry> MainControlTable();

// List-view columns: header text and width at 96 DPI.
struct ColumnEntry {
  const wchar_t* text;
  int32_t width;
};
std::span<const ColumnEntry> DiskListColumns();

// `pixels` at 96 DPI for a window at `dpi`.
inline int32_t Scale(int32_t pixels, uint32_t dpi) {
  return MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

}  // namespace tvde
