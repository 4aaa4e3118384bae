#pragma once
// ATA commands of the sanitize and hidden-area path as task-file registers (the ACS command
// layouts), the IDENTIFY DEVICE words they depend on, and the registers a device returns.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tvde {

inline constexpr uint8_t kAtaIdentifyDevice = 0xEC;
inline constexpr uint8_t kAtaReadNativeMaxExt = 0x27;
inline constexpr uint8_t kAtaReadNativeMax = 0xF8;
inline constexpr uint8_t kAtaSetMaxAddressExt = 0x37;
inline constexpr uint8_t kAtaSetMaxAddress = 0xF9;
inline constexpr uint8_t kAtaAccessibleMax = 0x78;  // GET NATIVE MAX ADDRESS EXT: feature 0
inline constexpr uint8_t kAtaDeviceConfiguration = 0xB1;
inline constexpr uint8_t kAtaSanitize = 0xB4;
inline constexpr uint8_t kAtaSecuritySetPassword = 0xF1;
inline constexpr uint8_t kAtaSecurityUnlock = 0xF2;
inline constexpr uint8_t kAtaSecurityErasePrepare = 0xF3;
inline constexpr uint8_t kAtaSecurityEraseUnit = 0xF4;
inline constexpr uint8_t kAtaSecurityDisablePassword = 0xF6;

inline constexpr uint16_t kAtaSanitizeStatus = 0x0000;
inline constexpr uint16_t kAtaCryptoScramble = 0x0011;
inline constexpr uint16_t kAtaBlockErase = 0x0012;
inline constexpr uint16_t kAtaOverwrite = 0x0014;

inline constexpr size_t kAtaBlockBytes = 512;

enum class AtaProtocol : int32_t { NonData, PioIn, PioOut };

// One command: the registers written (48-bit commands use all 16 bits of feature and count and
// 48 bits of LBA; 28-bit ones put LBA bits 27:24 into the device register).
struct AtaCommand {
  uint8_t command = 0;
  uint16_t feature = 0;
  uint16_t count = 0;
  uint64_t lba = 0;
  uint8_t device = 0x40;  // LBA mode
  bool ext = false;       // a 48-bit command
  AtaProtocol protocol = AtaProtocol::NonData;
  // The returned registers carry the answer (READ NATIVE MAX, SANITIZE STATUS EXT): ask the
  // transport to return them on success too.
  bool wantRegisters = false;
  uint32_t timeoutSeconds = 60;

  size_t DataBytes() const { return protocol == AtaProtocol::NonData ? 0 : count * kAtaBlockBytes; }
};

// The registers after a command.
struct AtaRegisters {
  uint8_t status = 0;
  uint8_t error = 0;
  uint16_t count = 0;
  uint64_t lba = 0;
  uint8_t device = 0;

  bool Failed() const { return (status & 0x21) != 0; }  // ERR or DF
  bool Aborted() const { return (error & 0x04) != 0; }
};

AtaCommand AtaIdentify();
AtaCommand AtaReadNativeMaxAddress(bool ext);
AtaCommand AtaGetNativeMaxAddressExt();
// SET MAX ADDRESS (EXT) to `maxLba`, volatile (VV = 0): a power cycle restores the old limit.
// The device takes it only right after a READ NATIVE MAX ADDRESS (EXT).
AtaCommand AtaSetMaxAddressVolatile(uint64_t maxLba, bool ext);
AtaCommand AtaDcoIdentify();
AtaCommand AtaSanitizeStatus();
AtaCommand AtaSanitizeCryptoScramble();
AtaCommand AtaSanitizeBlockErase();
AtaCommand AtaSanitizeOverwrite(uint32_t pattern);
// SECURITY commands; the ones that carry a password send one 512-byte block (AtaPasswordBlock).
AtaCommand AtaSecurityCommand(uint8_t command, uint32_t timeoutSeconds = 60);

// The data block of SECURITY SET PASSWORD / UNLOCK / ERASE UNIT / DISABLE PASSWORD: word 0
// bit 0 selects the master password, bit 1 the enhanced erase (ERASE UNIT); words 1-16 the
// password, zero-padded.
std::array<uint8_t, kAtaBlockBytes> AtaPasswordBlock(const std::string& password, bool master,
                                                     bool enhanced);

// Security states of IDENTIFY word 128.
struct AtaSecurityState {
  bool supported = false;
  bool enabled = false;
  bool locked = false;
  bool frozen = false;
  bool countExpired = false;
  bool enhancedEraseSupported = false;
  uint32_t normalEraseMinutes = 0;    // word 89; 0 not reported
  uint32_t enhancedEraseMinutes = 0;  // word 90
};

struct AtaIdentifyFacts {
  std::string model, serial, firmware;
  uint64_t userSectors = 0;        // words 100-103, else 60-61
  bool lba48 = false;              // word 83 bit 10
  bool hpaSupported = false;       // word 82 bit 10
  bool dcoSupported = false;       // word 83 bit 11
  bool amaSupported = false;       // word 119 bit 8 (Accessible Max Address Configuration)
  bool sanitizeSupported = false;  // word 59 bit 12
  bool sanitizeCrypto = false;     // bit 13
  bool sanitizeOverwrite = false;  // bit 14
  bool sanitizeBlock = false;      // bit 15
  bool nonRotating = false;        // word 217 = 1
  AtaSecurityState security;
};

// Nothing when the block is short or its integrity word (255, signature A5h) does not add up.
std::optional<AtaIdentifyFacts> ParseAtaIdentify(std::span<const uint8_t> block);

// The maximum LBA of DEVICE CONFIGURATION IDENTIFY (words 3-6); nothing when the block is short.
std::optional<uint64_t> ParseDcoMaxLba(std::span<const uint8_t> block);

// SANITIZE STATUS EXT: the count register's flags and the LBA register's progress.
struct AtaSanitizeProgress {
  bool completedWithoutError = false;  // count bit 15
  bool inProgress = false;             // bit 14
  bool frozen = false;                 // bit 13
  uint16_t progress = 0;               // LBA 15:0, in 1/65536 of the operation
};
AtaSanitizeProgress ParseAtaSanitizeStatus(const AtaRegisters& registers);

// "ATA status 51h error 04h (ABRT)".
std::wstring DescribeAtaRegisters(const AtaRegisters& registers);

}  // namespace tvde
