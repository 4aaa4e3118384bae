// The erase launch interlock: every refusal in its order, the job request built from the
// controls, and the start of the erase worker.
#include <cwchar>
#include <memory>

#include "app/app.h"
#include "app/erase_launch_texts.h"
#include "app/win_controls.h"
#include "base/product.h"
#include "settings/settings_rules.h"

namespace tvde {
namespace {

constexpr size_t kConfirmCodeMaxChars = 63;
constexpr size_t kNotesMaxChars = 511;

bool CarriesSystemDrive(const DiskInfo& disk) {
  return disk.driveLetters.find(L"C:") != std::wstring::npos ||
         disk.driveLetters.find(L"c:") != std::wstring::npos;
}

// The checks that only a real write must pass; each refusal is shown here.
bool RealWriteAllowed(App& app, const DiskInfo& disk) {
  const auto refuse = [&app](const std::wstring& text, const wchar_t* title, UINT icon) {
    app.services.messageBox(app.mainWindow, text, title, MB_OK | icon);
    return false;
  };
  // Windows cannot erase the disk it runs from; under WinPE the safety status decides.
  if (app.isWinPE == 0 && CarriesSystemDrive(disk))
    return refuse(kOsDiskRefusal, kOsDiskRefusalTitle, MB_ICONERROR);
  if (!AllowsWrite(disk.safetyStatus))
    return refuse(ProtectedDiskRefusal(disk.safetyReason), kSafetyGuardTitle, MB_ICONWARNING);
  if (app.isAdmin != 1) return refuse(kAdminRefusal, kProductName, MB_ICONWARNING);
  return true;
}

EraseJobConfig BuildJobConfig(const App& app, const DiskInfo& disk, bool realWrite) {
  const AppSettings& settings = app.settings;
  EraseJobConfig config;
  config.disk = disk;
  config.standard = static_cast<EraseStandard>(settings.defaultStandard);
  config.verifyMode = static_cast<VerifyMode>(settings.defaultVerify);
  config.executionMode = realWrite ? ExecutionMode::RealWrite : ExecutionMode::Simulation;
  config.postEraseState =
      settings.writeDiskStamp == 1 ? PostEraseState::PureZero : PostEraseState::WriteStamp;
  config.logOutputDisabled = settings.enableLogOutput == 1 ? 1 : 0;
  config.operatorName = settings.operatorName;
  config.organizationName = settings.organizationName;
  config.outputFolder = settings.certOutputDir;
  config.signingKeyFile = settings.signingKeyFile;
  config.notes = GetText(app.controls.notes, kNotesMaxChars);
  const int32_t firmware = ComboSelection(app.controls.firmwareMode);
  config.firmwareMode = firmware > 0 && firmware < kFirmwareModeCount
                            ? static_cast<FirmwareMode>(firmware)
                            : FirmwareMode::Off;
  return config;
}

// The certificate-folder question; false when the operator stopped the launch.
bool ConfirmOutputFolder(App& app, EraseJobConfig& config) {
  std::wstring reason;
  if (!app.services.checkOutputFolder(config.outputFolder, reason)) return true;
  const int answer =
      app.services.messageBox(app.mainWindow, FolderQuestion(config.outputFolder, reason),
                              kFolderQuestionTitle, MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDNO) return true;
  if (answer != IDYES) return false;
  const std::wstring chosen = app.services.pickOutputFolder(app.mainWindow, config.outputFolder);
  if (chosen.empty()) return false;
  SetText(app.controls.logFolder, chosen);
  app.SaveSettingsFromControls();
  config.outputFolder = chosen;
  return true;
}

}  // namespace

void App::OnStartErase() {
  if (busy.load() != 0) return ShowBox(kBusyRefusal, kProductName, MB_OK | MB_ICONWARNING);
  if (selectedDiskIndex < 0 || selectedDiskIndex >= static_cast<int32_t>(disks.size()))
    return ShowBox(kNoSelectionRefusal, kProductName, MB_OK | MB_ICONWARNING);

  // A longer folder (from a settings file) would be cut into another folder on the way.
  if (GetWindowTextLengthW(controls.logFolder) > static_cast<int>(kSettingsTextMaxChars))
    return ShowBox(kLongFolderRefusal, kProductName, MB_OK | MB_ICONWARNING);
  SaveSettingsFromControls();
  const DiskInfo disk = disks[static_cast<size_t>(selectedDiskIndex)];
  const bool realWrite = ComboSelection(controls.executionMode) == 1;
  if (realWrite && !RealWriteAllowed(*this, disk)) return;

  const std::wstring code = GetText(controls.confirmCode, kConfirmCodeMaxChars);
  if (_wcsicmp(code.c_str(), kConfirmCode) != 0)
    return ShowBox(kConfirmCodeRefusal, kConfirmCodeTitle, MB_OK | MB_ICONWARNING);

  EraseJobConfig config = BuildJobConfig(*this, disk, realWrite);
  if (config.logOutputDisabled == 0 && !ConfirmOutputFolder(*this, config)) return;
  if (AskBox(FinalConfirmation(config), kFinalConfirmationTitle,
             FinalConfirmationFlags(config.executionMode)) != IDYES) {
    return;
  }
  StartEraseWorker(config);
}

void App::StartEraseWorker(const EraseJobConfig& config) {
  if (eraseWorker.joinable()) eraseWorker.join();
  cancelRequested.exchange(0);
  busy.exchange(1);
  HoldSession(kEraseBlockReason);
  Enable(controls.startErase, false);
  Enable(controls.abort, true);
  SetProgressPosition(controls.passBar, 0);
  SetProgressPosition(controls.overallBar, 0);

  auto record = std::make_unique<EraseWorkerStart>(EraseWorkerStart{this, config, isWinPE});
  EraseWorkerStart* handedOver = record.get();
  const bool started = services.startThread(eraseWorker, [handedOver] {
    EraseWorkerMain(std::unique_ptr<EraseWorkerStart>(handedOver));
  });
  if (started) {
    static_cast<void>(record.release());  // the worker owns and frees it now
    return;
  }
  busy.exchange(0);
  ReleaseSession();
  Enable(controls.startErase, true);
  Enable(controls.abort, false);
  AppendLog(kWorkerStartFailedLog);
  ShowBox(kWorkerStartFailed, kProductName, MB_OK | MB_ICONERROR);
}

}  // namespace tvde
