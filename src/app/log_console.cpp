// The log console: the only way text reaches it is AppendLog on the GUI thread; workers queue
// their lines through PostLogLine.
#include "app/app.h"
#include "report/report_identity.h"

namespace tvde {

void App::AppendLog(const std::wstring& text) {
  const std::wstring line = L"[" + FormatLocalTimestamp() + L"] " + text + L"\r\n";
  const auto end = static_cast<WPARAM>(GetWindowTextLengthW(controls.logConsole));
  // An empty selection at the end, replaced by the line: the console scrolls to it.
  SendMessageW(controls.logConsole, EM_SETSEL, end, static_cast<LPARAM>(end));
  SendMessageW(controls.logConsole, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
}

void App::PostLogLine(const std::wstring& line) {
  PublishLogLine(mailbox, mainWindow, WM_APP_LOG, line);
}

}  // namespace tvde
