// Process entry of the Windows program: the headless self-test, or the interactive program.
#include <windows.h>

#include <objbase.h>

#include "app/self_test.h"
#include "base/product.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR commandLine,
                    int /*showCommand*/) {
  // The self-test runs before anything else: no COM, no window, no fonts.
  if (tvde::HasSelfTestSwitch(commandLine)) return tvde::RunSelfTest();

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // The main window is not part of this build yet; say so instead of exiting silently.
  MessageBoxW(nullptr,
              L"このビルドには操作画面がまだ含まれていません。\n"
              L"自己診断は \"--self-test\" を付けて実行してください。",
              tvde::kProductName, MB_OK | MB_ICONINFORMATION);
  CoUninitialize();
  return -1;
}
