// The Windows transport through its DeviceIoControl seam: a stand-in for the storage stack
// decodes every request from the published structure layouts, hands it to the simulated drive
// and answers as the driver does, refusing what Windows refuses outside WinPE or on older
// builds. The I/O manager's access rule is the transport's own, so a handle without write
// access meets the refusal it meets on a real machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"
#include "firmware/sanitize_choice.h"
#include "firmware/sanitize_run.h"
#include "firmware/windows_requests.h"
#include "firmware/windows_transport.h"
#include "support/fake_drive.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::FakeDrive;
using testing::U8;
using namespace winreq;

uint32_t Le32(std::span<const uint8_t> b, size_t at) {
  return GetLe32(b.subspan(at));
}

class FakeStorageStack {
 public:
  FakeStorageStack(FakeDrive& drive, PlatformRules rules) : drive_(drive), rules_(rules) {}
  std::vector<uint32_t> codes;  // every request that reached the driver

  uint32_t operator()(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out,
                      uint32_t& returned) {
    codes.push_back(code);
    if (code == kQueryProperty) return Query(in, out, returned);
    if (code == kProtocolCommand) return Command(out);
    if (code == kAtaPassThrough) return Ata(out);
    // SCSI pass-through stands for a USB bridge that takes none.
    if (code == kReinitializeMedia) {
      if (rules_.windowsBuild < 14393) return kWinErrorInvalidFunction;
      uint32_t error = 0;
      drive_.ReinitializeMedia(static_cast<ReinitializeMethod>(Le32(in, 12) & 0xF), error);
      return error;
    }
    return kWinErrorInvalidFunction;
  }

 private:
  // STORAGE_PROPERTY_QUERY + STORAGE_PROTOCOL_SPECIFIC_DATA in, the data descriptor out.
  uint32_t Query(std::span<const uint8_t> in, std::span<uint8_t> out, uint32_t& returned) {
    const uint32_t protocol = Le32(in, 8), type = Le32(in, 12), value = Le32(in, 16);
    const uint32_t offset = Le32(in, 24), length = Le32(in, 28);
    const std::span<uint8_t> data = out.subspan(8 + offset, length);
    bool ok = false;
    if (protocol == 3 && type == 1) {
      ok = drive_
               .Nvme(value == 1   ? NvmeIdentifyController()
                     : value == 0 ? NvmeIdentifyNamespace(Le32(in, 20))
                                  : NvmeActiveNamespaceList(),
                     data)
               .Ok();
    } else if (protocol == 3 && type == 2 && value == 0x81) {
      ok = drive_.Nvme(NvmeSanitizeStatusLog(), data).Ok();
    } else if (protocol == 2 && type == 1) {
      ok = drive_.Ata(AtaIdentify(), data).Ok(AtaIdentify());
    }
    if (!ok) return kWinErrorInvalidParameter;
    PutLe32(out, 44);  // Version
    PutLe32(out.subspan(4), 48 + length);
    returned = 8 + offset + length;
    return 0;
  }

  // STORAGE_PROTOCOL_COMMAND: the NVMe submission entry at 80.
  uint32_t Command(std::span<uint8_t> b) {
    const std::span<const uint8_t> sqe = b.subspan(80, 64);
    NvmeAdminCommand c;
    c.opcode = sqe[0];
    c.nsid = Le32(sqe, 4);
    c.cdw10 = Le32(sqe, 40);
    c.cdw11 = Le32(sqe, 44);
    if (c.opcode == kNvmeOpSanitize && !rules_.winpe && rules_.windowsBuild < 22000) {
      return kWinErrorInvalidFunction;
    }
    if (c.opcode == kNvmeOpFormatNvm && !rules_.winpe) return kWinErrorInvalidFunction;
    const uint32_t fromLength = Le32(b, 36), fromOffset = Le32(b, 52);
    const NvmeAnswer answer = drive_.Nvme(c, b.subspan(fromOffset, fromLength));
    PutLe32(b.subspan(16), answer.Ok() ? 1 : 2);  // ReturnStatus
    PutLe32(b.subspan(64), answer.result);
    PutLe16(b.subspan(Le32(b, 44) + 12), static_cast<uint16_t>(answer.status << 1));
    return 0;
  }

  // ATA_PASS_THROUGH_EX: the task files (previous, current), then the data.
  uint32_t Ata(std::span<uint8_t> b) {
    const uint16_t flags = GetLe16(b.subspan(2));
    std::span<uint8_t> prev = b.subspan(kApPrevious, 8), cur = b.subspan(kApCurrent, 8);
    AtaCommand c;
    c.ext = (flags & 0x08) != 0;
    c.protocol = (flags & 0x02) != 0   ? AtaProtocol::PioIn
                 : (flags & 0x04) != 0 ? AtaProtocol::PioOut
                                       : AtaProtocol::NonData;
    c.feature = static_cast<uint16_t>(cur[0] | prev[0] << 8);
    c.count = static_cast<uint16_t>(cur[1] | prev[1] << 8);
    c.lba = uint64_t{cur[2]} | uint64_t{cur[3]} << 8 | uint64_t{cur[4]} << 16 |
            uint64_t{prev[2]} << 24 | uint64_t{prev[3]} << 32 | uint64_t{prev[4]} << 40;
    c.device = cur[5];
    c.command = cur[6];
    if (c.command >= 0xF1 && c.command <= 0xF6 && !rules_.winpe) return kWinErrorInvalidFunction;
    const AtaAnswer answer = drive_.Ata(c, b.subspan(kAtaPassThroughBytes));
    const AtaRegisters r = answer.registers.value_or(AtaRegisters{});
    cur[0] = r.error;
    cur[1] = static_cast<uint8_t>(r.count);
    cur[2] = static_cast<uint8_t>(r.lba);
    cur[3] = static_cast<uint8_t>(r.lba >> 8);
    cur[4] = static_cast<uint8_t>(r.lba >> 16);
    cur[6] = r.status;
    prev[1] = static_cast<uint8_t>(r.count >> 8);
    prev[2] = static_cast<uint8_t>(r.lba >> 24);
    return 0;
  }

  FakeDrive& drive_;
  PlatformRules rules_;
};

std::unique_ptr<FirmwareTransport> Transport(FakeStorageStack& stack, uint32_t access,
                                             PassThroughKind kind, PlatformRules rules) {
  WindowsTransportSetup setup;
  setup.control = [&stack](uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out,
                           uint32_t& returned) { return stack(code, in, out, returned); };
  setup.grantedAccess = access;
  setup.kind = kind;
  setup.rules = rules;
  return MakeWindowsTransport(setup);
}

bool Saw(const FakeStorageStack& stack, uint32_t code) {
  return std::find(stack.codes.begin(), stack.codes.end(), code) != stack.codes.end();
}

TEST(WindowsTransport, AListHandleAsksOnlyTheProtocolQueries) {
  FakeDrive ata(PassThroughKind::Ata, true);
  ata.SetWord(82, 0x0400);  // HPA: its native maximum needs the pass-through
  FakeStorageStack stack(ata, {true, false, 22631});
  const auto transport = Transport(stack, 0, PassThroughKind::Ata, {true, false, 22631});
  const FirmwareCapabilities caps = DiscoverFirmwareCapabilities(*transport);
  ASSERT_TRUE(caps.ata);
  EXPECT_FALSE(caps.hidden.checked);
  EXPECT_EQ(U8(caps.hidden.note),
            "READ NATIVE MAX ADDRESS: the system did not pass the command on (error 5)");
  EXPECT_FALSE(Saw(stack, kAtaPassThrough)) << "refused by the access rule, not by a driver";
}

TEST(WindowsTransport, TheChosenEraseRunsThroughTheStorageStackAsWindowsAllows) {
  struct Row {
    const char* name;
    PassThroughKind kind;
    PlatformRules rules;
    uint32_t access;
    FirmwareMode mode;
    FirmwareMethod forced;  // None: as chosen
    FirmwareMethod method;
    SanitizeResult result;
    uint32_t code;  // the request that carried the erase
  };
  using M = FirmwareMethod;
  const uint32_t rw = kReadAccess | kWriteAccess;
  const PassThroughKind nvme = PassThroughKind::Nvme, ata = PassThroughKind::Ata;
  // clang-format off
  const Row rows[] = {
      {"Windows 11 sanitize", nvme, {true, false, 22631}, rw, FirmwareMode::Auto, M::None, M::NvmeSanitizeCrypto, SanitizeResult::Completed, kProtocolCommand},
      {"WinPE format", nvme, {true, true, 19041}, rw, FirmwareMode::Format, M::None, M::NvmeFormatUserData, SanitizeResult::Completed, kProtocolCommand},
      {"Windows 10 reinitialize", nvme, {true, false, 19045}, rw, FirmwareMode::Format, M::None, M::WindowsReinitialize, SanitizeResult::Completed, kReinitializeMedia},
      {"format outside WinPE", nvme, {true, false, 19045}, rw, FirmwareMode::Format, M::NvmeFormatUserData, M::NvmeFormatUserData, SanitizeResult::Refused, kProtocolCommand},
      {"WinPE security erase", ata, {true, true, 19041}, rw, FirmwareMode::Format, M::None, M::AtaSecurityErase, SanitizeResult::Completed, kAtaPassThrough},
      {"security outside WinPE", ata, {true, false, 22631}, rw, FirmwareMode::Format, M::AtaSecurityErase, M::AtaSecurityErase, SanitizeResult::Refused, kAtaPassThrough},
      {"read-only handle", nvme, {true, false, 19045}, kReadAccess, FirmwareMode::Format, M::None, M::WindowsReinitialize, SanitizeResult::Refused, 0},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<uint8_t> media(4096, 0xA5);
    FakeDrive drive(row.kind, row.kind == ata, &media);
    drive.sanicap = 1;
    drive.SetWord(128, 0x0001);  // security supported, not frozen
    FakeStorageStack stack(drive, row.rules);
    const auto transport = Transport(stack, row.access, row.kind, row.rules);
    const FirmwareCapabilities caps = DiscoverFirmwareCapabilities(*transport);
    const SanitizeChoice choice = ChooseSanitizeMethod(caps, row.mode, false);
    const M method = row.forced != M::None ? row.forced : choice.method;
    EXPECT_EQ(method, row.method) << U8(choice.reason);
    uint64_t now = 0;
    const SanitizeClock clock{[&now] { return now; }, [&now](uint32_t ms) { now += ms; }};
    SanitizeRunOptions options;
    options.password = "TVDE-0001";
    const SanitizeRun run = RunFirmwareSanitize(*transport, caps, method, options, clock);
    EXPECT_EQ(run.result, row.result) << U8(run.completion) << " " << U8(run.detail);
    EXPECT_EQ(media[0] == 0, row.result == SanitizeResult::Completed);
    EXPECT_EQ(row.code != 0, Saw(stack, row.code == 0 ? kReinitializeMedia : row.code));
  }
}

TEST(WindowsTransport, ABridgeThatTakesNoPassThroughLeavesTheOverwriteAlone) {
  FakeDrive drive(PassThroughKind::Scsi, false);
  FakeStorageStack stack(drive, {true, false, 22631});
  const auto transport =
      Transport(stack, kReadAccess | kWriteAccess, PassThroughKind::Scsi, {true, false, 22631});
  const SanitizeChoice choice =
      ChooseSanitizeMethod(DiscoverFirmwareCapabilities(*transport), FirmwareMode::Auto, false);
  EXPECT_EQ(choice.method, FirmwareMethod::None);
  EXPECT_NE(U8(choice.reason).find("the system did not pass the command on (error 1)"),
            std::string::npos)
      << U8(choice.reason);
}

}  // namespace
}  // namespace tvde
