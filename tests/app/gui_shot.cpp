// Helper of scripts/screenshots.sh, run under Wine on an X display:
//   locate SECONDS   waits for the program's main window with its start-up lines and prints
//                    its screen rectangle as WxH+X+Y (the crop geometry of ImageMagick)
//   close            asks the program's main window to close
//   showcase FILE    shows the same window fed with sample disks, runs a simulated job through
//                    its start button, prints the rectangle and stays until FILE exists
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app_harness.h"

namespace {

using tvde::testing::AppHarness;

void PrintGeometry(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  std::printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left,
              rect.top);
  std::fflush(stdout);
}

BOOL CALLBACK FindConsole(HWND child, LPARAM found) {
  if (GetWindowLongW(child, GWL_STYLE) & ES_MULTILINE) *reinterpret_cast<HWND*>(found) = child;
  return TRUE;
}

int Locate(int seconds) {
  for (int tick = 0; tick < seconds * 10; ++tick, Sleep(100)) {
    const HWND window = FindWindowW(tvde::kMainWindowClass, nullptr);
    if (window == nullptr || !IsWindowVisible(window)) continue;
    HWND console = nullptr;
    EnumChildWindows(window, FindConsole, reinterpret_cast<LPARAM>(&console));
    if (console == nullptr || SendMessageW(console, EM_GETLINECOUNT, 0, 0) < 3) continue;
    Sleep(500);  // the last paint
    PrintGeometry(window);
    return 0;
  }
  std::fprintf(stderr, "gui_shot: no main window after %d s\n", seconds);
  return 1;
}

tvde::DiskInfo SampleDisk(int32_t number, const wchar_t* model, tvde::MediaKind media,
                          tvde::BusKind bus, uint64_t size, const wchar_t* letters,
                          tvde::SafetyStatus safety) {
  tvde::DiskInfo disk = tvde::testing::TestDisk(number, L"C:\\tvde-sample-disk.img", size);
  disk.model = model;
  disk.serialNumber = L"SN-" + std::to_wstring(7340 + number);
  disk.mediaType = media;
  disk.busType = bus;
  disk.driveLetters = letters;
  disk.safetyStatus = safety;
  return disk;
}

int Showcase(const std::wstring& sentinel) {
  using namespace tvde;
  AppHarness h;
  h.disks = {
      SampleDisk(0, L"Samsung SSD 980 PRO 1TB", MediaKind::NvmeSsd, BusKind::Nvme, 1000204886016,
                 L"C:", SafetyStatus::ProtectedSystemDisk),
      SampleDisk(1, L"SanDisk Ultra USB 3.0", MediaKind::Removable, BusKind::Usb, 61530439680,
                 L"E:", SafetyStatus::Erasable),
      SampleDisk(2, L"WDC WD20EZAZ-00GGJB0", MediaKind::Hdd, BusKind::Sata, 2000398934016, L"D:",
                 SafetyStatus::LockedInternal),
  };
  h.Start(SW_SHOWNORMAL);
  App& app = h.app();
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(app.controls.diskList, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&item));
  h.Click(kIdStartErase);  // a simulation: nothing is opened
  if (!h.WaitForIdle(120000)) return 1;
  // After the job the list is refreshed; show the disk the job ran on.
  SendMessageW(app.controls.diskList, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&item));
  h.PumpUntil([] { return false; }, 500);
  PrintGeometry(app.mainWindow);
  h.PumpUntil([&] { return GetFileAttributesW(sentinel.c_str()) != INVALID_FILE_ATTRIBUTES; },
              120000);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"locate" && argc > 2) return Locate(_wtoi(argv[2]));
  if (command == L"close") {
    const HWND window = FindWindowW(tvde::kMainWindowClass, nullptr);
    return window != nullptr && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  if (command == L"showcase" && argc > 2) return Showcase(argv[2]);
  std::fprintf(stderr, "usage: gui_shot locate SECONDS | close | showcase SENTINEL\n");
  return 2;
}
