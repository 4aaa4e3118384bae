#pragma once
// The WinPE media build: stage, mount, customise, commit, then write a USB stick, an ISO image
// or a media folder.

#include <cstdint>
#include <string>

#include "base/log_callback.h"
#include "winpe/winpe_build_commands.h"
#include "winpe/winpe_host.h"

namespace tvde {

enum WinPEOutputMode : int32_t {
  kWinPEOutputUsb = 0,     // MakeWinPEMedia.cmd /UFD onto a removable drive
  kWinPEOutputIso = 1,     // a hybrid BIOS/UEFI (or UEFI-only) ISO image
  kWinPEOutputFolder = 2,  // any other value too: the staged media folder itself
};

struct WinPEBuildRequest {
  int32_t outputMode = kWinPEOutputIso;
  int32_t architecture = 0;  // kWinPEArchitectureX86 or x64
  int32_t uefiOnly = 0;      // non-zero: UEFI boot only; 0: UEFI + CSM (Legacy BIOS)
  std::wstring usbTarget;    // the USB list entry; its first two characters name the drive
  std::wstring isoPath;      // the ISO file to write
  std::wstring workDir;      // empty: the temporary folder's "Toreval_WinPE_" + architecture
  // The folder certificates and logs go to: the drive that holds it is never formatted.
  std::wstring certificateFolder;
};

// Windows build only; runs on a worker thread and touches no window. Returns 0 when the media
// were created, 1 on failure (the reason is in the log).
int32_t BuildWinPEMedia(const WinPEBuildRequest& request, LogCallback log,
                        const WinPEHost& host = DefaultWinPEHost());

// Copies the firmware boot files into {work}\fwfiles and {work}\bootbins and bootmgr into the
// media tree; missing files are skipped, nothing is reported but the closing log line.
void StageBootFiles(const std::wstring& adkRoot, const std::wstring& workDir, int32_t architecture,
                    LogCallback log);

}  // namespace tvde
