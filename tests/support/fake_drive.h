#pragma once
// A drive behind a pass-through transport, for the states no emulator has: a sanitize that runs
// for a number of status reads and then completes or fails, crypto and block erase support,
// ATA security states and its password, a Host Protected Area, a DCO limit, and a drive that
// stops answering for a while (a power cycle) while its sanitize goes on. Erasing clears the
// bytes of the media it is given, unless it is told to report success and change nothing.

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "firmware/firmware_transport.h"

namespace tvde::testing {

class FakeDrive final : public FirmwareTransport {
 public:
  // `ata`: the drive speaks ATA (through SAT when `kind` is Scsi).
  FakeDrive(PassThroughKind kind, bool ata, std::vector<uint8_t>* media = nullptr);

  // NVMe.
  uint32_t sanicap = 0;
  uint8_t fna = 0;
  uint16_t oacs = 0x0002;  // Format NVM
  uint32_t namespaceCount = 1;
  std::vector<uint32_t> active = {1};
  std::optional<uint32_t> nsid = 1;
  bool sanitizeLog = true;

  // ATA: the IDENTIFY words (model, size, features) and the hidden-area limits.
  std::array<uint16_t, 256> words{};
  uint64_t nativeMaxLba = 0;  // READ NATIVE MAX answer; 0: the reported size - 1
  uint64_t dcoMaxLba = 0;
  bool sanitizeFrozen = false;
  std::set<uint8_t> abortCommands;  // ATA commands that abort (ERR, ABRT)
  std::string password;             // the user password, when set

  // SCSI.
  CommandSupport scsiSanitize = CommandSupport::Unknown;  // Unknown: no REPORT SUPPORTED OP CODES

  // How an erase goes.
  int32_t busyReads = 2;             // status reads that show it running
  bool eraseFails = false;           // it ends in failure
  bool eraseChangesNothing = false;  // success reported, data left as it was
  int32_t silentReads = 0;           // status reads the transport loses (power cycle)
  bool runningAtStart = false;       // an earlier sanitize resumed after a power cycle
  PlatformRules rules;
  std::wstring unavailable;

  // What reached the drive: "nvme 84 00000004", "ata F4", "scsi 48".
  std::vector<std::string> sent;
  int32_t eraseCount = 0;  // erases that touched the media

  void SetUserSectors(uint64_t sectors);
  void SetWord(size_t word, uint16_t value) { words[word] = value; }
  uint64_t UserSectors() const;

  PassThroughKind Kind() const override { return kind_; }
  std::wstring Unavailable() const override { return unavailable; }
  PlatformRules Rules() const override { return rules; }
  NvmeAnswer Nvme(const NvmeAdminCommand& command, std::span<uint8_t> data) override;
  ScsiAnswer Scsi(const ScsiCommand& command, std::span<uint8_t> dataIn) override;
  AtaAnswer Ata(const AtaCommand& command, std::span<uint8_t> data) override;
  std::optional<uint32_t> NamespaceId() override { return nsid; }
  bool RefreshCapacity() override { return true; }
  TransportOutcome ReinitializeMedia(ReinitializeMethod method, uint32_t& osError) override;

 private:
  enum class Erase { Idle, Running, Done, Failed };
  void Start();
  void Resume();  // the sanitize of runningAtStart shows on the first command
  bool Lost();    // a status read the transport does not deliver
  Erase Advance();
  void Wipe();
  AtaAnswer AtaResult(bool ok, uint64_t lba = 0, uint16_t count = 0);

  PassThroughKind kind_;
  bool ata_;
  std::vector<uint8_t>* media_;
  Erase erase_ = Erase::Idle;
  int32_t reads_ = 0;
  bool nativeMaxRead_ = false;  // SET MAX is taken only right after READ NATIVE MAX
  bool erasePrepared_ = false;
};

}  // namespace tvde::testing
