#pragma once
// NVMe admin commands of the sanitize path (Identify, Get Log Page, Format NVM, Sanitize), built
// from the published submission-queue layouts, and the data structures they return.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tvde {

inline constexpr uint8_t kNvmeOpGetLogPage = 0x02;
inline constexpr uint8_t kNvmeOpIdentify = 0x06;
inline constexpr uint8_t kNvmeOpFormatNvm = 0x80;
inline constexpr uint8_t kNvmeOpSanitize = 0x84;

inline constexpr uint32_t kNvmeAllNamespaces = 0xFFFFFFFF;
inline constexpr size_t kNvmeIdentifyBytes = 4096;
inline constexpr size_t kNvmeSanitizeLogBytes = 512;
inline constexpr uint8_t kNvmeLogSanitizeStatus = 0x81;

enum class NvmeDataDirection : int32_t { None, FromDevice, ToDevice };

// One admin submission: command dword 0's opcode, the namespace and command dwords 10 to 15.
struct NvmeAdminCommand {
  uint8_t opcode = 0;
  uint32_t nsid = 0;
  uint32_t cdw10 = 0, cdw11 = 0, cdw12 = 0, cdw13 = 0, cdw14 = 0, cdw15 = 0;
  NvmeDataDirection direction = NvmeDataDirection::None;
  uint32_t dataLength = 0;
  uint32_t timeoutSeconds = 60;
};

// Sanitize Action (CDW10 bits 2:0).
enum class NvmeSanitizeAction : uint8_t {
  ExitFailureMode = 1,
  BlockErase = 2,
  Overwrite = 3,
  CryptoErase = 4,
};

// Secure Erase Settings of Format NVM (CDW10 bits 11:9).
enum class NvmeSecureErase : uint8_t { None = 0, UserData = 1, Crypto = 2 };

// Identify with CNS 00h (namespace), 01h (controller) or 02h (active namespace IDs above nsid).
NvmeAdminCommand NvmeIdentifyNamespace(uint32_t nsid);
NvmeAdminCommand NvmeIdentifyController();
NvmeAdminCommand NvmeActiveNamespaceList();
// Get Log Page 81h, 512 bytes, controller scope.
NvmeAdminCommand NvmeSanitizeStatusLog();
// Sanitize; the overwrite action writes one pass of `pattern`. AUSE is not set: a failed
// sanitize leaves the controller restricted until a sanitize succeeds.
NvmeAdminCommand NvmeSanitize(NvmeSanitizeAction action, uint32_t pattern = 0);

struct NvmeNamespaceFacts;
// Format NVM of `nsid` (kNvmeAllNamespaces for every namespace) that keeps the namespace's
// current LBA format, metadata and protection settings and only asks for the secure erase.
NvmeAdminCommand NvmeFormat(uint32_t nsid, const NvmeNamespaceFacts& current, NvmeSecureErase ses);

// Identify Controller (byte offsets of its data structure).
struct NvmeControllerFacts {
  std::string serial;           // bytes 4-23
  std::string model;            // bytes 24-63
  std::string firmware;         // bytes 64-71
  uint16_t oacs = 0;            // 256-257; bit 1 Format NVM supported
  uint32_t namespaceCount = 0;  // NN, 516-519
  uint8_t fna = 0;              // 524: bit 0 format all, bit 1 secure erase all, bit 2 crypto
  uint32_t sanicap = 0;         // 328-331: bit 0 crypto, 1 block, 2 overwrite

  bool FormatSupported() const { return (oacs & 0x0002) != 0; }
  bool FormatAppliesToAll() const { return (fna & 0x01) != 0; }
  bool SecureEraseAppliesToAll() const { return (fna & 0x02) != 0; }
  bool FormatCryptoSupported() const { return (fna & 0x04) != 0; }
  bool SanitizeCrypto() const { return (sanicap & 0x1) != 0; }
  bool SanitizeBlock() const { return (sanicap & 0x2) != 0; }
  bool SanitizeOverwrite() const { return (sanicap & 0x4) != 0; }
};

// Identify Namespace.
struct NvmeNamespaceFacts {
  uint64_t sizeBlocks = 0;  // NSZE, bytes 0-7
  uint8_t flbas = 0;        // 26: bits 3:0 and 6:5 the format index, bit 4 extended metadata
  uint8_t dps = 0;          // 29: bits 2:0 protection type, bit 3 protection first
  uint8_t dlfeat = 0;       // 33: bits 2:0 what a deallocated block reads back as
  uint32_t blockBytes = 0;  // 2^LBADS of the current LBA format (bytes 128 + 4 * index)

  uint8_t FormatIndex() const {
    return static_cast<uint8_t>((flbas & 0x0F) | ((flbas >> 1) & 0x30));
  }
};

// Sanitize Status log page.
struct NvmeSanitizeStatus {
  uint16_t sprog = 0;   // bytes 0-1: progress in 1/65536 of the operation
  uint16_t sstat = 0;   // 2-3: bits 2:0 state, 7:3 overwrite passes, 8 global data erased
  uint32_t scdw10 = 0;  // 4-7: CDW10 of the sanitize this log is about

  enum class State : uint8_t {
    Never = 0,
    Completed = 1,
    InProgress = 2,
    Failed = 3,
    CompletedNoDeallocate = 4
  };
  State state() const { return static_cast<State>(sstat & 0x7); }
};

std::optional<NvmeControllerFacts> ParseNvmeIdentifyController(std::span<const uint8_t> data);
std::optional<NvmeNamespaceFacts> ParseNvmeIdentifyNamespace(std::span<const uint8_t> data);
// The namespace IDs of an active namespace list, up to its first zero entry.
std::vector<uint32_t> ParseNvmeNamespaceList(std::span<const uint8_t> data);
std::optional<NvmeSanitizeStatus> ParseNvmeSanitizeStatus(std::span<const uint8_t> data);

// A completion's status field as Linux returns it (bits 7:0 SC, 10:8 SCT, 14 DNR), in words:
// "NVMe status 4001h (SCT 0h, SC 01h: Invalid Command Opcode)".
std::wstring DescribeNvmeStatus(uint16_t status);
std::wstring DescribeSanitizeStatus(const NvmeSanitizeStatus& status);

}  // namespace tvde
