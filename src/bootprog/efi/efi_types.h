#pragma once
// The few UEFI types and services the report application calls, declared from the published
// firmware interface: system table, boot services, console output and graphics output.
// Freestanding: no library headers. The default calling conventions of the x86_64 and i686
// Windows targets (Microsoft x64 and cdecl) are the firmware's, so no attributes are needed.

namespace tvde::efi {

using Uint8 = unsigned char;
using Uint16 = unsigned short;
using Uint32 = unsigned int;
using Uint64 = unsigned long long;
using Uintn = decltype(sizeof(0));  // 64-bit on x64, 32-bit on IA32
using Status = Uintn;
using Handle = void*;
using Char16 = char16_t;

static_assert(sizeof(Uint16) == 2 && sizeof(Uint32) == 4 && sizeof(Uint64) == 8);
static_assert(sizeof(Uintn) == sizeof(void*));

inline constexpr Status kSuccess = 0;

struct Guid {
  Uint32 data1;
  Uint16 data2;
  Uint16 data3;
  Uint8 data4[8];
};

struct TableHeader {
  Uint64 signature;
  Uint32 revision;
  Uint32 headerSize;
  Uint32 crc32;
  Uint32 reserved;
};

// Simple Text Output protocol.
struct SimpleTextOutput {
  Status (*Reset)(SimpleTextOutput* self, bool extendedVerification);
  Status (*OutputString)(SimpleTextOutput* self, const Char16* text);
  void* TestString;
  void* QueryMode;
  void* SetMode;
  Status (*SetAttribute)(SimpleTextOutput* self, Uintn attribute);
  Status (*ClearScreen)(SimpleTextOutput* self);
  void* SetCursorPosition;
  void* EnableCursor;
  void* Mode;
};

// Boot services: only the members up to LocateProtocol, in their published order.
struct BootServices {
  TableHeader hdr;
  void* RaiseTpl;
  void* RestoreTpl;
  void* AllocatePages;
  void* FreePages;
  void* GetMemoryMap;
  void* AllocatePool;
  void* FreePool;
  void* CreateEvent;
  void* SetTimer;
  void* WaitForEvent;
  void* SignalEvent;
  void* CloseEvent;
  void* CheckEvent;
  void* InstallProtocolInterface;
  void* ReinstallProtocolInterface;
  void* UninstallProtocolInterface;
  void* HandleProtocol;
  void* reserved;
  void* RegisterProtocolNotify;
  void* LocateHandle;
  void* LocateDevicePath;
  void* InstallConfigurationTable;
  void* LoadImage;
  void* StartImage;
  void* Exit;
  void* UnloadImage;
  void* ExitBootServices;
  void* GetNextMonotonicCount;
  Status (*Stall)(Uintn microseconds);
  Status (*SetWatchdogTimer)(Uintn timeoutSeconds, Uint64 watchdogCode, Uintn dataSize,
                             Char16* watchdogData);
  void* ConnectController;
  void* DisconnectController;
  void* OpenProtocol;
  void* CloseProtocol;
  void* OpenProtocolInformation;
  void* ProtocolsPerHandle;
  void* LocateHandleBuffer;
  Status (*LocateProtocol)(const Guid* protocol, void* registration, void** interface);
};

struct SystemTable {
  TableHeader hdr;
  Char16* firmwareVendor;
  Uint32 firmwareRevision;
  Handle consoleInHandle;
  void* conIn;
  Handle consoleOutHandle;
  SimpleTextOutput* conOut;
  Handle standardErrorHandle;
  SimpleTextOutput* stdErr;
  void* runtimeServices;
  BootServices* bootServices;
  Uintn numberOfTableEntries;
  void* configurationTable;
};

// Graphics Output protocol.
struct GraphicsModeInfo {
  Uint32 version;
  Uint32 horizontalResolution;
  Uint32 verticalResolution;
  Uint32 pixelFormat;
  Uint32 pixelBitmask[4];
  Uint32 pixelsPerScanLine;
};

struct GraphicsMode {
  Uint32 maxMode;
  Uint32 mode;
  GraphicsModeInfo* info;
  Uintn sizeOfInfo;
  Uint64 frameBufferBase;
  Uintn frameBufferSize;
};

// A Blt pixel is blue, green, red, reserved: a little-endian 0x00RRGGBB word.
using BltPixel = Uint32;

enum BltOperation : Uint32 {
  kBltVideoFill = 0,
  kBltVideoToBuffer = 1,
  kBltBufferToVideo = 2,
  kBltVideoToVideo = 3,
};

struct GraphicsOutput {
  void* QueryMode;
  void* SetMode;
  Status (*Blt)(GraphicsOutput* self, BltPixel* buffer, BltOperation operation, Uintn sourceX,
                Uintn sourceY, Uintn destinationX, Uintn destinationY, Uintn width, Uintn height,
                Uintn delta);
  GraphicsMode* mode;
};

inline constexpr Guid kGraphicsOutputGuid = {
    0x9042A9DE, 0x23DC, 0x4A38, {0x96, 0xFB, 0x7A, 0xDE, 0xD0, 0x80, 0x51, 0x6A}};

}  // namespace tvde::efi
