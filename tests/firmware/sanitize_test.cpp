// Discovery, the choice of method and the runs against a simulated drive: the states no
// emulator has (an erase that runs then completes or fails, crypto against block, frozen and
// locked security, the password taken off after a failed erase, a hidden area, a drive that
// stops answering during a power cycle while its sanitize goes on).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "firmware/firmware_capabilities.h"
#include "firmware/sanitize_choice.h"
#include "firmware/sanitize_run.h"
#include "support/fake_drive.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::FakeDrive;
using testing::U8;
using M = FirmwareMethod;

bool Has(const std::wstring& text, const std::string& part) {
  return U8(text).find(part) != std::string::npos;
}

FakeDrive Nvme(std::vector<uint8_t>* media = nullptr) {
  return FakeDrive(PassThroughKind::Nvme, false, media);
}
FakeDrive Ata(std::vector<uint8_t>* media = nullptr) {
  return FakeDrive(PassThroughKind::Scsi, true, media);
}
FakeDrive Scsi(std::vector<uint8_t>* media = nullptr) {
  return FakeDrive(PassThroughKind::Scsi, false, media);
}

TEST(SanitizeChoice, MethodsFollowTheReportedSupportThePlatformAndTheScope) {
  struct Row {
    const char* name;
    std::function<void(FakeDrive&)> arm;
    PassThroughKind kind;
    bool ata;
    FirmwareMode mode;
    bool hdd;
    M method;
    std::string reason;  // part of the reason when no method is chosen
  };
  const auto words = [](uint16_t w59, uint16_t w128) {
    return [=](FakeDrive& d) {
      d.SetWord(59, w59);
      d.SetWord(128, w128);
    };
  };
  const PassThroughKind nvme = PassThroughKind::Nvme, scsi = PassThroughKind::Scsi;
  // clang-format off
  const std::vector<Row> rows = {
      {"crypto before block", [](FakeDrive& d) { d.sanicap = 3; }, nvme, false, FirmwareMode::Auto, false, M::NvmeSanitizeCrypto, ""},
      {"block only", [](FakeDrive& d) { d.sanicap = 2; }, nvme, false, FirmwareMode::Auto, false, M::NvmeSanitizeBlock, ""},
      {"crypto asked, none", [](FakeDrive& d) { d.sanicap = 2; }, nvme, false, FirmwareMode::Crypto, false, M::None, "SANICAP 00000002h"},
      {"format with crypto", [](FakeDrive& d) { d.fna = 0x04; }, nvme, false, FirmwareMode::Auto, false, M::NvmeFormatCrypto, ""},
      {"format user data", [](FakeDrive&) {}, nvme, false, FirmwareMode::Auto, false, M::NvmeFormatUserData, ""},
      {"sanitize of a shared controller", [](FakeDrive& d) { d.sanicap = 1; d.active = {1, 2}; }, nvme, false, FirmwareMode::Crypto, false, M::None, "NVMe Sanitize Crypto Erase: it acts on the whole controller, and namespace 2 of the same controller is not the chosen target"},
      {"per-namespace format of a shared controller", [](FakeDrive& d) { d.sanicap = 1; d.active = {1, 2}; }, nvme, false, FirmwareMode::Auto, false, M::NvmeFormatUserData, ""},
      {"format of every namespace", [](FakeDrive& d) { d.fna = 0x01; d.active = {1, 3, 4}; }, nvme, false, FirmwareMode::Format, false, M::None, "namespaces 3, 4 of the same controller are not"},
      {"Windows 10 desktop", [](FakeDrive& d) { d.sanicap = 1; d.rules = {true, false, 19045}; }, nvme, false, FirmwareMode::Auto, false, M::WindowsReinitialize, ""},
      {"Windows 11", [](FakeDrive& d) { d.sanicap = 1; d.rules = {true, false, 22631}; }, nvme, false, FirmwareMode::Auto, false, M::NvmeSanitizeCrypto, ""},
      {"WinPE format", [](FakeDrive& d) { d.rules = {true, true, 19041}; }, nvme, false, FirmwareMode::Format, false, M::NvmeFormatUserData, ""},
      {"ATA sanitize", words(0xB000, 0), scsi, true, FirmwareMode::Auto, false, M::AtaSanitizeCrypto, ""},
      {"ATA overwrite on flash", words(0x5000, 0), scsi, true, FirmwareMode::Auto, false, M::None, "not supported by the drive (IDENTIFY word 59)"},
      {"ATA overwrite on a hard disk", words(0x5000, 0), scsi, true, FirmwareMode::Auto, true, M::AtaSanitizeOverwrite, ""},
      {"security erase", words(0, 0x0021), scsi, true, FirmwareMode::Auto, false, M::AtaSecurityEraseEnhanced, ""},
      {"frozen", words(0, 0x0009), scsi, true, FirmwareMode::Auto, false, M::None, "frozen: the computer's firmware froze"},
      {"locked", words(0, 0x0007), scsi, true, FirmwareMode::Format, false, M::None, "locked"},
      {"password set", words(0, 0x0003), scsi, true, FirmwareMode::Format, false, M::None, "already set"},
      {"count expired", words(0, 0x0011), scsi, true, FirmwareMode::Format, false, M::None, "exhausted"},
      {"security outside WinPE", [](FakeDrive& d) { d.SetWord(128, 1); d.rules = {true, false, 22631}; }, PassThroughKind::Ata, true, FirmwareMode::Auto, false, M::None, "only in WinPE"},
      {"no features", words(0, 0), scsi, true, FirmwareMode::Auto, false, M::None, "no SANITIZE feature set"},
      {"SCSI unreported", [](FakeDrive&) {}, scsi, false, FirmwareMode::Auto, false, M::None, "does not report its support (REPORT SUPPORTED OPERATION CODES: sense key 5h"},
      {"SCSI block", [](FakeDrive& d) { d.scsiSanitize = CommandSupport::Supported; }, scsi, false, FirmwareMode::Block, false, M::ScsiSanitizeBlock, ""},
      {"SCSI format unit", [](FakeDrive&) {}, scsi, false, FirmwareMode::Format, false, M::ScsiFormatUnit, ""},
      {"no pass-through", [](FakeDrive& d) { d.unavailable = L"a loop device"; }, PassThroughKind::None, false, FirmwareMode::Auto, false, M::None, "no firmware commands: a loop device"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeDrive drive(row.kind, row.ata);
    row.arm(drive);
    const SanitizeChoice choice =
        ChooseSanitizeMethod(DiscoverFirmwareCapabilities(drive), row.mode, row.hdd);
    EXPECT_EQ(choice.method, row.method) << U8(choice.reason);
    EXPECT_TRUE(row.method != M::None || Has(choice.reason, row.reason)) << U8(choice.reason);
    EXPECT_EQ(choice.frozen, std::string(row.name) == "frozen");
  }
}

// A clock that moves only when the run sleeps.
struct FakeClock {
  uint64_t now = 0;
  SanitizeClock clock{[this] { return now; }, [this](uint32_t ms) { now += ms; }};
};

struct RunCase {
  const char* name;
  std::function<FakeDrive(std::vector<uint8_t>&)> make;
  M method;
  SanitizeResult result;
  std::string part;  // of command, completion, status log or detail
  bool wiped;
};

TEST(SanitizeRun, EveryMethodIsFollowedToTheEndTheDriveReports) {
  const auto nvme = [](uint32_t sanicap, std::function<void(FakeDrive&)> more = {}) {
    return [=](std::vector<uint8_t>& m) {
      FakeDrive d = Nvme(&m);
      d.sanicap = sanicap;
      if (more) more(d);
      return d;
    };
  };
  const auto ata = [](std::function<void(FakeDrive&)> more) {
    return [=](std::vector<uint8_t>& m) {
      FakeDrive d = Ata(&m);
      d.SetWord(59, 0xF000);
      d.SetWord(128, 0x0021);
      more(d);
      return d;
    };
  };
  // clang-format off
  const std::vector<RunCase> cases = {
      {"sanitize completes", nvme(1), M::NvmeSanitizeCrypto, SanitizeResult::Completed, "SSTAT 0101h (completed successfully)", true},
      {"sanitize fails", nvme(2, [](FakeDrive& d) { d.eraseFails = true; }), M::NvmeSanitizeBlock, SanitizeResult::Failed, "SSTAT 0003h (failed)", false},
      {"power cycle", nvme(1, [](FakeDrive& d) { d.silentReads = 3; }), M::NvmeSanitizeCrypto, SanitizeResult::Completed, "completed successfully", true},
      {"drive gone", nvme(1, [](FakeDrive& d) { d.silentReads = 100000; }), M::NvmeSanitizeCrypto, SanitizeResult::NotConfirmed, "stopped answering", false},
      {"resumed sanitize first", nvme(1, [](FakeDrive& d) { d.runningAtStart = true; }), M::NvmeSanitizeCrypto, SanitizeResult::Completed, "SANACT 4", true},
      {"no status log", nvme(1, [](FakeDrive& d) { d.sanitizeLog = false; }), M::NvmeSanitizeCrypto, SanitizeResult::NotConfirmed, "Sanitize Status log: NVMe status 4002h", false},
      {"format", nvme(0), M::NvmeFormatUserData, SanitizeResult::Completed, "NSID 00000001h, CDW10 00000200h: SES=1, LBAF 0", true},
      {"ATA crypto scramble", ata([](FakeDrive&) {}), M::AtaSanitizeCrypto, SanitizeResult::Completed, "feature 0011h, LBA 000043727970h", true},
      {"ATA sanitize frozen", ata([](FakeDrive& d) { d.sanitizeFrozen = true; }), M::AtaSanitizeBlock, SanitizeResult::Frozen, "SANITIZE FREEZE LOCK", false},
      {"ATA sanitize fails", ata([](FakeDrive& d) { d.eraseFails = true; }), M::AtaSanitizeBlock, SanitizeResult::Failed, "error 04h", false},
      {"security erase", ata([](FakeDrive&) {}), M::AtaSecurityEraseEnhanced, SanitizeResult::Completed, "F4h, enhanced", true},
      {"security erase fails", ata([](FakeDrive& d) { d.eraseFails = true; }), M::AtaSecurityErase, SanitizeResult::Failed, "SECURITY ERASE UNIT failed", false},
      {"security frozen", ata([](FakeDrive& d) { d.SetWord(128, 0x0029); }), M::AtaSecurityErase, SanitizeResult::Frozen, "suspend and resume", false},
      {"SCSI sanitize", [](std::vector<uint8_t>& m) { FakeDrive d = Scsi(&m); d.scsiSanitize = CommandSupport::Supported; return d; }, M::ScsiSanitizeBlock, SanitizeResult::Completed, "sense key 0h NO SENSE", true},
      {"SCSI sanitize fails", [](std::vector<uint8_t>& m) { FakeDrive d = Scsi(&m); d.scsiSanitize = CommandSupport::Supported; d.eraseFails = true; return d; }, M::ScsiSanitizeCrypto, SanitizeResult::Failed, "SANITIZE COMMAND FAILED", false},
      {"reinitialize", nvme(0), M::WindowsReinitialize, SanitizeResult::Completed, "completed by the storage driver", true},
  };
  // clang-format on
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> media(4096, 0xA5);
    FakeDrive drive = c.make(media);
    const FirmwareCapabilities caps = DiscoverFirmwareCapabilities(drive);
    FakeClock clock;
    std::vector<uint32_t> progress;
    std::vector<std::string> log;
    SanitizeRunOptions options;
    options.password = "TVDE-9A0B1C2D";
    options.progress = [&](uint32_t p) { progress.push_back(p); };
    options.log = [&](const std::wstring& line) { log.push_back(U8(line)); };
    const SanitizeRun run = RunFirmwareSanitize(drive, caps, c.method, options, clock.clock);
    EXPECT_EQ(run.result, c.result) << U8(run.detail);
    EXPECT_TRUE(Has(run.command + run.completion + run.statusLog + run.detail, c.part))
        << U8(run.command) << " | " << U8(run.completion) << " | " << U8(run.statusLog) << " | "
        << U8(run.detail);
    EXPECT_EQ(media[100] == 0, c.wiped);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_TRUE(c.result != SanitizeResult::Completed ||
                (!progress.empty() && progress.back() == 65536u));
    // A security erase logs its password before setting it and never leaves it set.
    if (c.method == M::AtaSecurityErase || c.method == M::AtaSecurityEraseEnhanced) {
      const bool sent = std::count(drive.sent.begin(), drive.sent.end(), "ata F1 0000") == 1;
      EXPECT_EQ(sent, c.result != SanitizeResult::Frozen);
      EXPECT_EQ(sent && !log.empty() && log[0].find("\"TVDE-9A0B1C2D\"") != std::string::npos,
                sent);
      EXPECT_TRUE(drive.password.empty());
      EXPECT_EQ(drive.words[128] & 0x02, 0);
    }
  }
}

}  // namespace
}  // namespace tvde
