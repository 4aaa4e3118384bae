// Process entry of the Windows program: the headless self-test, or the main window.
#include <windows.h>

#include <objbase.h>

#include "app/app.h"
#include "app/self_test.h"
#include "base/startup_environment.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR commandLine,
                    int showCommand) {
  tvde::HardenProcessStart();

  // The self-test runs before anything else: no COM, no window, no fonts.
  if (tvde::HasSelfTestSwitch(commandLine)) return tvde::RunSelfTest();

  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int exitCode = -1;
  {
    tvde::App app;
    if (app.Create(instance, showCommand)) exitCode = app.RunMessageLoop();
    if (SUCCEEDED(com)) CoUninitialize();
  }  // the application object goes after COM: it joins the worker and frees the fonts
  return exitCode;
}
