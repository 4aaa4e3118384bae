#pragma once
// What a disk's firmware says it can do to erase itself, and the sectors it hides from the
// host, as discovered through its pass-through commands. Travels with the disk record, so the
// disk list, the console's list and the job all show the same facts.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "firmware/ata_commands.h"
#include "firmware/firmware_transport.h"
#include "firmware/nvme_admin.h"
#include "firmware/scsi_commands.h"

namespace tvde {

// Host Protected Area / Accessible Max Address / DCO facts of an ATA disk.
struct HiddenAreaFacts {
  bool checked = false;          // the native maximum was read
  uint64_t reportedSectors = 0;  // IDENTIFY: what the host may address
  uint64_t nativeSectors = 0;    // READ NATIVE MAX ADDRESS (EXT) / GET NATIVE MAX ADDRESS EXT + 1
  bool accessibleMax = false;    // the limit is an Accessible Max Address (kept over power cycles)
  uint64_t dcoSectors = 0;       // DEVICE CONFIGURATION IDENTIFY maximum + 1; 0 not read
  std::wstring note;             // why it was not checked

  uint64_t HiddenSectors() const {
    return checked && nativeSectors > reportedSectors ? nativeSectors - reportedSectors : 0;
  }
  // Sectors a DCO restriction takes away below the factory size.
  uint64_t DcoHiddenSectors() const {
    const uint64_t native = checked ? nativeSectors : reportedSectors;
    return dcoSectors > native ? dcoSectors - native : 0;
  }
};

struct FirmwareCapabilities {
  PassThroughKind kind = PassThroughKind::None;
  bool checked = false;      // discovery ran
  std::wstring unavailable;  // why nothing could be asked, or what went wrong asking
  PlatformRules platform;

  // NVMe.
  std::optional<NvmeControllerFacts> nvmeController;
  std::optional<NvmeNamespaceFacts> nvmeNamespace;
  uint32_t namespaceId = 0;                // 0 when the system does not say
  std::vector<uint32_t> activeNamespaces;  // empty when the controller did not list them

  // ATA (directly or through SAT).
  std::optional<AtaIdentifyFacts> ata;
  HiddenAreaFacts hidden;

  // SCSI.
  bool scsiDirectAccess = false;  // peripheral type 0: FORMAT UNIT is mandatory
  CommandSupport scsiCrypto = CommandSupport::Unknown;
  CommandSupport scsiBlock = CommandSupport::Unknown;
  CommandSupport scsiOverwrite = CommandSupport::Unknown;
  std::wstring scsiReportAnswer;  // what REPORT SUPPORTED OPERATION CODES answered when unknown
};

// Asks the drive behind `transport` with read-only questions (identify, native max address,
// DCO identify, supported operation codes): nothing on the media or in its settings changes.
// A question the system does not pass (a handle without write access on Windows) leaves its
// fact unknown, with the reason.
FirmwareCapabilities DiscoverFirmwareCapabilities(FirmwareTransport& transport);

// One-line summaries for lists: "NVMe: Sanitize crypto/block, Format NVM (crypto erase),
// 1 of 1 namespaces" and "HPA: 1000 sectors hidden"; the reason when nothing is known.
std::wstring CapabilitySummary(const FirmwareCapabilities& capabilities);
std::wstring HiddenAreaSummary(const FirmwareCapabilities& capabilities);

}  // namespace tvde
