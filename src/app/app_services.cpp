// The real answers behind the main window's seam.
#include "app/app_services.h"

#include <shellapi.h>

#include <system_error>

#include "app/iso_file_dialog.h"
#include "base/product.h"
#include "base/startup_environment.h"
#include "disk/disk_enumeration.h"
#include "job/erase_job_driver.h"
#include "stamp/stamp_detect.h"
#include "winpe/adk_acquisition.h"
#include "winpe/usb_target.h"

namespace tvde {
namespace {

bool ShellOpen(HWND owner, const std::wstring& path) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(owner, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

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

std::wstring ReportSummaryText(const ReportDialogRequest& request) {
  const StampPayload& payload = request.payload;
  std::wstring text = L"証明書ID: " + payload.certificateId + L"\n消去日時: " +
                      payload.sanitizationDate + L"\n消去規格: " + payload.standardName +
                      L"\n検証結果: " + payload.verification + L"\n対象ディスク: " +
                      payload.diskModel + L" / " + payload.diskSerial + L" / " +
                      payload.diskCapacity + L"\nスタンプ状態: " + payload.stampState +
                      L"\nSHA-256: " + payload.sha256Fingerprint;
  if (!request.htmlPath.empty()) text += L"\nHTML証明書: " + request.htmlPath;
  return text;
}

AppServices DefaultAppServices() {
  AppServices services;
  services.messageBox = [](HWND owner, const std::wstring& text, const std::wstring& title,
                           UINT flags) {
    return MessageBoxW(owner, text.c_str(), title.c_str(), flags);
  };
  services.shellOpen = ShellOpen;
  services.runAsAdministrator = RunAsAdministrator;
  // The folder picker and its folder check come with the report dialog; until then a folder
  // is typed into the edit and never questioned.
  services.checkOutputFolder = [](const std::wstring&, std::wstring&) { return false; };
  services.showReportDialog = [](HWND owner, const ReportDialogRequest& request) {
    MessageBoxW(owner, ReportSummaryText(request).c_str(), kProductName,
                MB_OK | MB_ICONINFORMATION);
  };
  services.enumerateDisks = EnumeratePhysicalDisks;
  services.detectDiskStamp = [](const DiskInfo& disk) { return DetectDiskStamp(disk); };
  services.isRunningAsAdmin = IsRunningAsAdmin;
  services.isWinPEEnvironment = IsWinPEEnvironment;
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
  return services;
}

}  // namespace tvde
