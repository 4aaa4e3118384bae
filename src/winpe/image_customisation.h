#pragma once
// Step 3 of the media build on the mounted image: the program, its runtime DLLs, the Japanese
// language support and the start-up files. Windows build only.

#include <cstdint>
#include <string>

#include "base/log_callback.h"
#include "winpe/media_program.h"
#include "winpe/winpe_host.h"

namespace tvde {

// Copies the C runtime DLLs into the program folder, each from the first folder that holds it
// (beside the running program, then the system's); a DLL found nowhere is skipped.
void InstallAppIntoImage(const std::wstring& programFolder, int32_t architecture, LogCallback log,
                         const WinPEHost& host = DefaultWinPEHost());

// Adds the Japanese font-support package and language pack (with ja-JP settings and the
// Japanese keyboard), copies the Japanese fonts and registers them and their font links in the
// image's registry. Whatever is missing is skipped; tool failures show only in their output.
void LocaliseWinPEImage(const std::wstring& adkRoot, const std::wstring& mountDir,
                        const std::wstring& programFolder, int32_t architecture, LogCallback log,
                        const WinPEHost& host = DefaultWinPEHost());

// The whole step in order: program folder and `program` (ChooseMediaProgram), runtime DLLs,
// localisation, winpeshl.ini and startnet.cmd. Returns false (after an error line) when the
// program file or a start-up file is not in the image, since such media would not start the
// eraser.
bool CustomiseWinPEImage(const std::wstring& adkRoot, const std::wstring& mountDir,
                         int32_t architecture, const MediaProgram& program, const LogCallback& log,
                         const WinPEHost& host);

}  // namespace tvde
