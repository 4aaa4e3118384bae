// The simulated drive's answers, laid out as the real commands return them.
#include "support/fake_drive.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/byte_order.h"
#include "base/text.h"

namespace tvde::testing {
namespace {

constexpr uint16_t kInvalidOpcode = 0x4001, kInvalidField = 0x4002, kSanitizeInProgress = 0x001D;

ScsiAnswer Good() {
  return {TransportOutcome::Answered, 0, {}, 0};
}

ScsiAnswer Check(uint8_t key, uint8_t asc, uint8_t ascq) {
  return {TransportOutcome::Answered, 0x02, {0x72, key, asc, ascq, 0, 0, 0, 0}, 0};
}

NvmeAnswer Status(uint16_t status) {
  return {TransportOutcome::Answered, status, 0, 0};
}

}  // namespace

FakeDrive::FakeDrive(PassThroughKind kind, bool ata, std::vector<uint8_t>* media)
    : kind_(kind), ata_(ata), media_(media) {
  if (ata_) {
    words[83] = 0x0400;  // 48-bit addresses
    SetUserSectors(media_ != nullptr ? media_->size() / 512 : 1u << 20);
  }
}

void FakeDrive::SetUserSectors(uint64_t sectors) {
  for (size_t i = 0; i < 4; ++i)
    words[100 + i] = static_cast<uint16_t>(sectors >> (16 * i));
}

uint64_t FakeDrive::UserSectors() const {
  uint64_t sectors = 0;
  for (size_t i = 0; i < 4; ++i)
    sectors |= uint64_t{words[100 + i]} << (16 * i);
  return sectors;
}

void FakeDrive::Start() {
  erase_ = Erase::Running;
  reads_ = 0;
}

void FakeDrive::Resume() {
  if (std::exchange(runningAtStart, false)) Start();
}

bool FakeDrive::Lost() {
  if (erase_ != Erase::Running || silentReads == 0) return false;
  --silentReads;
  return true;
}

FakeDrive::Erase FakeDrive::Advance() {
  if (erase_ == Erase::Running && reads_++ >= busyReads) {
    erase_ = eraseFails ? Erase::Failed : Erase::Done;
    if (erase_ == Erase::Done) Wipe();
  }
  return erase_;
}

void FakeDrive::Wipe() {
  ++eraseCount;
  if (media_ != nullptr && !eraseChangesNothing) std::fill(media_->begin(), media_->end(), 0);
}

NvmeAnswer FakeDrive::Nvme(const NvmeAdminCommand& c, std::span<uint8_t> data) {
  sent.push_back(FormatPrintf("nvme %02X %08X", c.opcode, c.cdw10));
  Resume();
  if (kind_ != PassThroughKind::Nvme) return NvmeAnswer{TransportOutcome::Refused, 0, 0, 0};
  if (c.opcode == kNvmeOpIdentify) {
    std::fill(data.begin(), data.end(), 0);
    const uint32_t cns = c.cdw10 & 0xFF;
    if (cns == 1) {
      const char model[] = "FAKE NVMe";
      std::copy(model, model + 9, data.begin() + 24);
      PutLe16(data.subspan(256), oacs);
      PutLe32(data.subspan(328), sanicap);
      PutLe32(data.subspan(516), namespaceCount);
      data[524] = fna;
    } else if (cns == 0) {
      PutLe64(data, media_ != nullptr ? media_->size() / 512 : 1u << 20);
      data[130] = 9;  // LBA format 0: 512-byte blocks
    } else {
      for (size_t i = 0; i < active.size(); ++i)
        PutLe32(data.subspan(4 * i), active[i]);
    }
    return Status(0);
  }
  if (c.opcode == kNvmeOpGetLogPage) {
    if (!sanitizeLog) return Status(kInvalidField);
    if (Lost()) return NvmeAnswer{TransportOutcome::Failed, 0, 0, 5};
    std::fill(data.begin(), data.end(), 0);
    const Erase state = Advance();
    const uint16_t sstat = state == Erase::Running  ? 2
                           : state == Erase::Done   ? 0x101
                           : state == Erase::Failed ? 3
                                                    : 0;
    PutLe16(data, state == Erase::Running ? static_cast<uint16_t>(reads_ * 1000) : 0);
    PutLe16(data.subspan(2), sstat);
    return Status(0);
  }
  if (c.opcode == kNvmeOpSanitize) {
    const uint32_t action = c.cdw10 & 7;
    const uint32_t bit = action == 4 ? 1 : action == 2 ? 2 : action == 3 ? 4 : 0;
    if ((sanicap & bit) == 0) return Status(kInvalidField);
    if (erase_ == Erase::Running) return Status(kSanitizeInProgress);
    Start();
    return Status(0);
  }
  if (c.opcode == kNvmeOpFormatNvm) {
    if ((oacs & 2) == 0) return Status(kInvalidOpcode);
    if (eraseFails) return Status(0x0006);
    Wipe();
    return Status(0);
  }
  return Status(kInvalidOpcode);
}

AtaAnswer FakeDrive::AtaResult(bool ok, uint64_t lba, uint16_t count) {
  const AtaRegisters r{static_cast<uint8_t>(ok ? 0x50 : 0x51), static_cast<uint8_t>(ok ? 0 : 4),
                       count, lba, 0x40};
  return {TransportOutcome::Answered, r, {}, 0};
}

AtaAnswer FakeDrive::Ata(const AtaCommand& c, std::span<uint8_t> data) {
  sent.push_back(FormatPrintf("ata %02X %04X", c.command, c.feature));
  Resume();
  if (!ata_ || kind_ == PassThroughKind::Nvme || kind_ == PassThroughKind::None) {
    return AtaAnswer{TransportOutcome::Refused, {}, {}, 0};
  }
  const bool wasNativeMaxRead = std::exchange(nativeMaxRead_, false);
  if (abortCommands.count(c.command) != 0) return AtaResult(false);
  uint16_t& security = words[128];
  const bool frozen = (security & 0x08) != 0;
  const std::string given =
      data.size() >= 34 ? std::string(reinterpret_cast<const char*>(data.data()) + 2,
                                      strnlen(reinterpret_cast<const char*>(data.data()) + 2, 32))
                        : std::string();
  switch (c.command) {
    case kAtaIdentifyDevice:
      for (size_t i = 0; i < words.size(); ++i)
        PutLe16(data.subspan(2 * i), words[i]);
      return AtaResult(true);
    case kAtaReadNativeMaxExt:
    case kAtaReadNativeMax:
    case kAtaAccessibleMax:
      nativeMaxRead_ = true;
      return AtaResult(true, nativeMaxLba != 0 ? nativeMaxLba : UserSectors() - 1);
    case kAtaSetMaxAddressExt:
      if (!wasNativeMaxRead) return AtaResult(false);
      SetUserSectors(c.lba + 1);
      return AtaResult(true);
    case kAtaDeviceConfiguration:
      if (dcoMaxLba == 0) return AtaResult(false);
      std::fill(data.begin(), data.end(), 0);
      PutLe64(data.subspan(6), dcoMaxLba);
      return AtaResult(true);
    case kAtaSanitize:
      if ((words[59] & 0x1000) == 0) return AtaResult(false);
      if (c.feature == kAtaSanitizeStatus) {
        if (Lost()) return AtaAnswer{TransportOutcome::Failed, {}, {}, 5};
        const Erase state = Advance();
        if (state == Erase::Failed) return AtaResult(false, 0x01);
        const uint16_t flags = static_cast<uint16_t>((state == Erase::Done ? 0x8000 : 0) |
                                                     (state == Erase::Running ? 0x4000 : 0) |
                                                     (sanitizeFrozen ? 0x2000 : 0));
        return AtaResult(true, state == Erase::Running ? 0x4000 : 0, flags);
      }
      if (sanitizeFrozen) return AtaResult(false, 0x03);
      if ((c.feature == kAtaCryptoScramble && (words[59] & 0x2000) == 0) ||
          (c.feature == kAtaBlockErase && (words[59] & 0x8000) == 0)) {
        return AtaResult(false);
      }
      Start();
      return AtaResult(true);
    case kAtaSecuritySetPassword:
      if (frozen || (security & 0x02) != 0) return AtaResult(false);
      password = given;
      security |= 0x02;
      return AtaResult(true);
    case kAtaSecurityErasePrepare:
      erasePrepared_ = !frozen;
      return AtaResult(!frozen);
    case kAtaSecurityEraseUnit:
      if (frozen || !std::exchange(erasePrepared_, false) || given != password) {
        return AtaResult(false);
      }
      if (eraseFails) return AtaResult(false);
      Wipe();
      security &= static_cast<uint16_t>(~0x02);
      password.clear();
      return AtaResult(true);
    case kAtaSecurityDisablePassword:
    case kAtaSecurityUnlock:
      if (given != password || (security & 0x02) == 0) return AtaResult(false);
      if (c.command == kAtaSecurityDisablePassword) {
        security &= static_cast<uint16_t>(~0x02);
        password.clear();
      }
      return AtaResult(true);
    default:
      return AtaResult(false);
  }
}

ScsiAnswer FakeDrive::Scsi(const ScsiCommand& c, std::span<uint8_t> dataIn) {
  sent.push_back(FormatPrintf("scsi %02X", c.cdb.at(0)));
  Resume();
  if (kind_ != PassThroughKind::Scsi || ata_) return Check(0x5, 0x20, 0x00);
  switch (c.cdb[0]) {
    case kScsiInquiry:
      std::fill(dataIn.begin(), dataIn.end(), 0);
      return Good();
    case kScsiMaintenanceIn:
      if (scsiSanitize == CommandSupport::Unknown) return Check(0x5, 0x20, 0x00);
      dataIn[1] = scsiSanitize == CommandSupport::Supported ? 0x03 : 0x01;
      return Good();
    case kScsiSanitize:
      if (scsiSanitize != CommandSupport::Supported) return Check(0x5, 0x20, 0x00);
      if (erase_ == Erase::Running) return Check(0x2, 0x04, 0x1B);
      Start();
      return Good();
    case kScsiRequestSense: {
      if (Lost()) return ScsiAnswer{TransportOutcome::Failed, 0, {}, 5};
      std::fill(dataIn.begin(), dataIn.end(), 0);
      const Erase state = Advance();
      const std::vector<uint8_t> sense =
          state == Erase::Running
              ? std::vector<uint8_t>{0x72, 0x02, 0x04, 0x1B, 0,    0,    0,    8,
                                     0x02, 0x06, 0,    0,    0x80, 0x40, 0x00, 0}
          : state == Erase::Failed ? std::vector<uint8_t>{0x72, 0x03, 0x31, 0x03, 0, 0, 0, 0}
                                   : std::vector<uint8_t>{0x72, 0x00, 0x00, 0x00, 0, 0, 0, 0};
      std::copy(sense.begin(), sense.end(), dataIn.begin());
      return Good();
    }
    case kScsiFormatUnit:
      Wipe();
      return Good();
    default:
      return Check(0x5, 0x20, 0x00);
  }
}

TransportOutcome FakeDrive::ReinitializeMedia(ReinitializeMethod method, uint32_t& osError) {
  sent.push_back(FormatPrintf("reinitialize %d", static_cast<int>(method)));
  osError = 0;
  Wipe();
  return TransportOutcome::Answered;
}

}  // namespace tvde::testing
