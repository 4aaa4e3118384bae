// Disk error texts that name the likely cause.
#include "erase/disk_error_text.h"

namespace tvde {

std::wstring DiskErrorHint(DiskErrorCause cause) {
  switch (cause) {
    case DiskErrorCause::AccessBlocked:
      return L"ディスク上のボリュームがマウントされたままか、システムがセクタへの書き込みをブロックしています";
    case DiskErrorCause::ReadOnlyOrOffline:
      return L"ディスクが読み取り専用またはオフラインです";
    case DiskErrorCause::DeviceGone:
      return L"ディスクが取り外されたか、応答していません";
    case DiskErrorCause::Other:
      break;
  }
  return L"";
}

std::wstring DescribeDiskError(uint32_t code) {
  const std::wstring hint = DiskErrorHint(ClassifyDiskError(code));
  std::wstring text = DescribeSystemError(code);
  if (!hint.empty()) text += L" [" + hint + L"]";
  return text;
}

}  // namespace tvde
