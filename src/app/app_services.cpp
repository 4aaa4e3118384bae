// The real answers behind the main window's seam.
#include "app/app_services.h"

#include <shellapi.h>

#include <system_error>

#include "app/folder_picker.h"
#include "app/iso_file_dialog.h"
#include "app/report_dialog.h"
#include "app/shell_open.h"
#include "app/ui_fonts.h"
#include "app/window_fit.h"
#include "base/product.h"
#include "base/startup_environment.h"
#include "disk/disk_enumeration.h"
#include "erase/firmware_step.h"
#include "firmware/firmware_open.h"
#include "job/erase_job_driver.h"
#include "stamp/stamp_detect.h"
#include "winpe/adk_acquisition.h"
#include "winpe/usb_target.h"

namespace tvde {
namespace {

bool RunAsAdministrator(HWND owner, const std::wstring& program) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.hwnd = owner;
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) != FALSE;
}

bool StartThread(std::thread& worker, std::function<void()> body) {
  try {
    worker = std::thread(std::move(body));
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace

AppServices DefaultAppServices() {
  AppServices services;
  services.messageBox = [](HWND owner, const std::wstring& text, const std::wstring& title,
                           UINT flags) {
    return MessageBoxW(owner, text.c_str(), title.c_str(), flags);
  };
  services.shellOpen = OpenWithShell;
  services.runAsAdministrator = RunAsAdministrator;
  services.pickOutputFolder = [prompt = services.messageBox](HWND owner,
                                                             const std::wstring& startFolder) {
    return PickOutputFolder(owner, startFolder, prompt);
  };
  services.checkOutputFolder = CheckOutputFolder;
  services.enumerateDisks = [](int32_t environmentMode, int32_t unlockInternal) {
    std::vector<DiskInfo> disks = EnumeratePhysicalDisks(environmentMode, unlockInternal);
    // Asked through query-only handles: what the firmware can erase and what it hides.
    for (DiskInfo& disk : disks) {
      disk.firmware = DiscoverDiskFirmware(
          {TargetDevicePath(disk), BusPassThrough(disk.busType), environmentMode == 1});
    }
    return disks;
  };
  services.detectDiskStamp = [](const DiskInfo& disk) { return DetectDiskStamp(disk); };
  services.isRunningAsAdmin = IsRunningAsAdmin;
  services.isWinPEEnvironment = IsWinPEEnvironment;
  services.addFontFile = AddPrivateFontFile;
  services.startThread = StartThread;
  services.runEraseJob = [](const EraseJobConfig& config, int32_t isWinPE, const CancelFlag& cancel,
                            const ProgressCallback& progress, const LogCallback& log) {
    return RunEraseJob(config, isWinPE, cancel, progress, log);
  };
  services.settingsStore = DefaultSettingsStore();
  services.listRemovableDrives = ListRemovableDrives;
  services.pickIsoFile = AskIsoFilePath;
  services.winpeHost = DefaultWinPEHost();
  services.acquireAdk = [](int32_t choice, const std::wstring& folder, LogCallback log,
                           const WinPEHost& host) {
    return AcquireAdk(choice, folder, std::move(log), host);
  };
  services.buildWinPEMedia = [](const WinPEBuildRequest& request, LogCallback log,
                                const WinPEHost& host) {
    return BuildWinPEMedia(request, std::move(log), host);
  };
  services.workAreaAt = WorkAreaAt;
  services.session = DefaultSessionServices();
  // Last: the dialog takes a copy of everything above (prompts, stamp detection, the session).
  services.showReportDialog = [prompts = services](HWND owner, const ReportDialogRequest& request) {
    ShowReportDialog(owner, request, prompts);
  };
  return services;
}

}  // namespace tvde
