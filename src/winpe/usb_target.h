#pragma once
// The removable drives that can receive WinPE media, and the last check of the chosen drive
// before it is formatted.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tvde {

enum class UsbTargetProblem {
  kNone,
  kNotADrive,         // the entry does not start with a drive such as "E:"
  kNotRemovable,      // no removable drive has that letter (any more)
  kProgramDrive,      // the running program lives there
  kCertificateDrive,  // certificates and audit logs are written there
};

struct UsbTargetCheck {
  std::wstring drive;  // the first two characters of the entry
  UsbTargetProblem problem = UsbTargetProblem::kNone;
};

// Formatting the stick erases it, so the drive must be removable now and must hold neither the
// running program nor the certificate folder (under WinPE both often sit on a USB stick).
UsbTargetCheck CheckUsbTarget(std::wstring_view usbTarget,
                              const std::function<bool(const std::wstring& drive)>& isRemovable,
                              std::wstring_view programPath, std::wstring_view certificateFolder);

// The log line of a refused target ("[ERROR] ...").
std::wstring UsbTargetRefusalText(const UsbTargetCheck& check);

// A USB list entry: "E: [label - size]", the label "USB Drive" when the volume has none.
std::wstring RemovableDriveEntry(std::wstring_view root, std::wstring_view volumeLabel,
                                 uint64_t totalBytes);

// Windows build only: one entry per removable drive, in drive-letter order.
std::vector<std::wstring> ListRemovableDrives();

// Windows build only: whether "E:" is a removable drive now.
bool IsRemovableDrive(const std::wstring& drive);

}  // namespace tvde
