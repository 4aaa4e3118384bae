// The settings part of the main window: storing the controls into the settings, the
// certificate-folder controls, and the restart with administrator rights.
#include <windows.h>
// shlobj.h needs the types of windows.h.
#include <shlobj.h>

#include "app/app.h"
#include "app/shell_open.h"
#include "app/win_controls.h"
#include "base/host_environment.h"
#include "base/product.h"
#include "erase/erase_standard.h"
#include "settings/settings_rules.h"

namespace tvde {
namespace {

// The longest path Windows takes (in the long form).
constexpr size_t kLongestPathChars = 32767;
constexpr const wchar_t* kLogFolderChanged = L"[LOG PATH] 証明書・監査ログ保存先を変更しました: ";
constexpr const wchar_t* kRestartWhileBusy =
    L"消去処理または WinPE メディア作成 / ADK 導入の実行中は、管理者権限で再起動できません。\n処理の完了後に実行してください。";

}  // namespace

std::wstring App::CertificateFolderText() const {
  return GetText(controls.logFolder, kLongestPathChars);
}

void App::SaveSettingsFromControls() {
  settings.operatorName = GetText(controls.operatorName, kSettingsTextMaxChars);
  settings.organizationName = GetText(controls.organization, kSettingsTextMaxChars);
  // Whole, also when too long for a setting: cut, it would name another folder.
  settings.certOutputDir = CertificateFolderText();
  const int32_t standard = ComboSelection(controls.standard);
  if (standard >= 0 && standard < kStandardCount) settings.defaultStandard = standard;
  const int32_t verify = ComboSelection(controls.verify);
  if (verify >= 0 && verify < kVerifyModeCount) settings.defaultVerify = verify;
  settings.defaultExecMode = ComboSelection(controls.executionMode) == 1 ? 1 : 0;
  settings.writeDiskStamp = ComboSelection(controls.postEraseState) == 1 ? 1 : 0;
  settings.enableLogOutput = IsChecked(controls.logOutput) ? 0 : 1;
  SaveSettingsTo(services.settingsStore, settings);
}

void App::OnLogOutputToggled() {
  const bool enabled = IsChecked(controls.logOutput);
  Enable(controls.logFolder, enabled);
  Enable(controls.changeLogFolder, enabled);
  Enable(controls.openLogFolder, enabled);
}

void App::OnChangeLogFolder() {
  const std::wstring current = CertificateFolderText();
  const std::wstring chosen = services.pickOutputFolder(mainWindow, current);
  if (chosen.empty()) return;
  SetText(controls.logFolder, chosen);
  SaveSettingsFromControls();
  AppendLog(kLogFolderChanged + chosen);
}

void App::OnOpenLogFolder() {
  const std::wstring folder = CertificateFolderText();
  // No owner window: a folder that cannot be created is not worth a system error box here.
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  if (const uint32_t error = services.shellOpen(mainWindow, folder); error != 0)
    ShowBox(FolderOpenFailure(folder, error), kProductName, MB_OK | MB_ICONWARNING);
}

void App::OnRestartAsAdmin() {
  // Quitting now would leave this window frozen, waiting for the job, while a second copy could
  // start another job on the same disks or temporary folders.
  if (busy.load() != 0) return ShowBox(kRestartWhileBusy, kProductName, MB_OK | MB_ICONWARNING);
  // Saved first: the elevated instance reads the settings as it starts.
  SaveSettingsFromControls();
  if (services.runAsAdministrator(mainWindow, ProgramModulePath())) PostQuitMessage(0);
}

}  // namespace tvde
