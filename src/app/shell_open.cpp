// The shell's "open" verb: through the desktop shell's own process when this one is elevated,
// else directly.
#include "app/shell_open.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "base/system_error.h"

namespace tvde {
namespace {

using Microsoft::WRL::ComPtr;

bool IsProcessElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool elevated =
      GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) != FALSE &&
      elevation.TokenIsElevated != 0;
  CloseHandle(token);
  return elevated;
}

// The shell object of the desktop window, which lives in the (unelevated) shell's process.
ComPtr<IShellDispatch2> DesktopShell() {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                              IID_PPV_ARGS(&windows)))) {
    return nullptr;
  }
  VARIANT none{};
  VariantInit(&none);
  long desktopWindow = 0;
  ComPtr<IDispatch> desktop;
  if (windows->FindWindowSW(&none, &none, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                            &desktop) != S_OK) {
    return nullptr;
  }
  ComPtr<IServiceProvider> provider;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background;
  ComPtr<IShellFolderViewDual> folderView;
  ComPtr<IDispatch> application;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(desktop.As(&provider)) ||
      FAILED(provider->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(&browser))) ||
      FAILED(browser->QueryActiveShellView(&view)) ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background))) ||
      FAILED(background.As(&folderView)) || FAILED(folderView->get_Application(&application)) ||
      FAILED(application.As(&shell))) {
    return nullptr;
  }
  return shell;
}

bool OpenThroughDesktopShell(const std::wstring& path) {
  const ComPtr<IShellDispatch2> shell = DesktopShell();
  if (!shell) return false;
  BSTR file = SysAllocString(path.c_str());
  BSTR verb = SysAllocString(L"open");
  VARIANT none{}, operation{}, show{};
  VariantInit(&none);
  operation.vt = VT_BSTR;
  operation.bstrVal = verb;
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  const bool handedOver = file != nullptr && verb != nullptr &&
                          SUCCEEDED(shell->ShellExecute(file, none, none, operation, show));
  SysFreeString(verb);
  SysFreeString(file);
  return handedOver;
}

std::wstring FailureReason(uint32_t error, bool folder) {
  switch (error) {
    case ERROR_NO_ASSOCIATION:
      return folder
                 ? L"フォルダーを表示するアプリケーション (エクスプローラー) がこの環境にありません (WinPE など)。"
                 : L"HTML ファイルを開くアプリケーション (ブラウザー) がこの環境にありません (WinPE など)。";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return folder
                 ? L"フォルダーが見つかりません (作成できなかったか、ドライブが取り外された可能性があります)。"
                 : L"ファイルが見つかりません (削除されたか、ドライブが取り外された可能性があります)。";
    case ERROR_ACCESS_DENIED:
      return folder ? L"フォルダーへのアクセスが拒否されました。"
                    : L"ファイルへのアクセスが拒否されました。";
    default:
      return L"ファイルを開くアプリケーションを起動できませんでした。";
  }
}

}  // namespace

uint32_t OpenWithShell(HWND owner, const std::wstring& path) {
  if (IsProcessElevated() && OpenThroughDesktopShell(path)) return 0;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI;  // the failure is shown in our own box
  info.hwnd = owner;
  info.lpVerb = L"open";
  info.lpFile = path.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&info)) return 0;
  const uint32_t error = GetLastError();
  return error != 0 ? error : ERROR_NO_ASSOCIATION;
}

std::wstring CertificateOpenFailure(const std::wstring& path, uint32_t error) {
  return L"HTML証明書を開けませんでした。\n\nファイル: " + path + L"\n理由: " +
         FailureReason(error, false) + L"\n(" + DescribeSystemError(error) +
         L")\n\nUSBメモリ等へ保存した証明書は、ブラウザーのある別のPCで開くことができます。";
}

std::wstring FolderOpenFailure(const std::wstring& path, uint32_t error) {
  return L"保存先フォルダーを開けませんでした。\n\nフォルダー: " + path + L"\n理由: " +
         FailureReason(error, true) + L"\n(" + DescribeSystemError(error) + L")";
}

}  // namespace tvde
