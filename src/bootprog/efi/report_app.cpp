// Entry of the UEFI report application: shows the report block and keeps the machine idle.
#include "report_block.h"
#include "screens.h"

namespace tvde::efi {
namespace {

constexpr Uintn kIdleStallMicroseconds = 250000;

[[noreturn]] void IdleForever(BootServices* bs) {
  for (;;) {
    if (bs != nullptr && bs->Stall != nullptr) {
      bs->Stall(kIdleStallMicroseconds);
    } else {
      // Without boot services there is nothing to wait on; the barrier keeps the loop alive.
      __asm__ volatile("pause" ::: "memory");
    }
  }
}

}  // namespace
}  // namespace tvde::efi

extern "C" tvde::efi::Status EfiReportMain(tvde::efi::Handle /*image*/,
                                           tvde::efi::SystemTable* systemTable) {
  using namespace tvde::efi;
  // A block cleared to zero is the sign to show nothing.
  if (gReportBlock.magic[0] == 0) return kSuccess;

  BootServices* bs = systemTable != nullptr ? systemTable->bootServices : nullptr;
  // The firmware would otherwise reset the machine after five minutes of showing the report.
  if (bs != nullptr && bs->SetWatchdogTimer != nullptr) bs->SetWatchdogTimer(0, 0, 0, nullptr);
  if (systemTable == nullptr) IdleForever(nullptr);

  GraphicsOutput* gop = nullptr;
  if (bs != nullptr && bs->LocateProtocol != nullptr) {
    void* found = nullptr;
    if (bs->LocateProtocol(&kGraphicsOutputGuid, nullptr, &found) == kSuccess) {
      gop = static_cast<GraphicsOutput*>(found);
    }
  }
  if (gop != nullptr && gop->mode != nullptr && gop->mode->info != nullptr) {
    DrawGraphicsScreen(gop, gop->mode->info->horizontalResolution,
                       gop->mode->info->verticalResolution);
  } else {
    DrawTextScreen(systemTable->conOut);
  }
  IdleForever(bs);
}

// The compiler emits calls to these even in freestanding code (struct copies, zeroing).
extern "C" void* memset(void* destination, int value, tvde::efi::Uintn count) {
  auto* bytes = static_cast<volatile unsigned char*>(destination);
  for (tvde::efi::Uintn i = 0; i < count; ++i)
    bytes[i] = static_cast<unsigned char>(value);
  return destination;
}

extern "C" void* memcpy(void* destination, const void* source, tvde::efi::Uintn count) {
  auto* to = static_cast<volatile unsigned char*>(destination);
  const auto* from = static_cast<const unsigned char*>(source);
  for (tvde::efi::Uintn i = 0; i < count; ++i)
    to[i] = from[i];
  return destination;
}
