// The command builders and answer parsers byte for byte against the published layouts (NVMe,
// ATA command set, SAT, SCSI block and primary commands, the Windows storage structures); every
// expected byte below is written out by hand from those layouts.
#include <gtest/gtest.h>

#include <vector>

#include "firmware/ata_commands.h"
#include "firmware/firmware_transport.h"
#include "firmware/nvme_admin.h"
#include "firmware/scsi_commands.h"
#include "firmware/windows_requests.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;
using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, size_t at, std::initializer_list<uint8_t> values) {
  for (uint8_t v : values)
    b.at(at++) = v;
}

TEST(NvmeCommands, SubmissionDwordsOfEveryCommand) {
  struct Row {
    NvmeAdminCommand command;
    uint8_t opcode;
    uint32_t nsid, cdw10, cdw11, length;
  };
  NvmeNamespaceFacts current;  // format index 2 with extended metadata, PI type 1 first
  current.flbas = 0x12;
  current.dps = 0x09;
  NvmeNamespaceFacts upper;  // format index 31h: bits 3:0 and 6:5 of FLBAS
  upper.flbas = 0x61;
  const Row rows[] = {
      {NvmeIdentifyController(), 0x06, 0, 0x01, 0, 4096},
      {NvmeIdentifyNamespace(5), 0x06, 5, 0x00, 0, 4096},
      {NvmeActiveNamespaceList(), 0x06, 0, 0x02, 0, 4096},
      {NvmeSanitizeStatusLog(), 0x02, 0xFFFFFFFF, 0x007F0081, 0, 512},
      {NvmeSanitize(NvmeSanitizeAction::CryptoErase), 0x84, 0, 0x04, 0, 0},
      {NvmeSanitize(NvmeSanitizeAction::BlockErase), 0x84, 0, 0x02, 0, 0},
      {NvmeSanitize(NvmeSanitizeAction::Overwrite, 0xA5A5A5A5), 0x84, 0, 0x13, 0xA5A5A5A5, 0},
      {NvmeFormat(1, current, NvmeSecureErase::Crypto), 0x80, 1, 0x532, 0, 0},
      {NvmeFormat(0xFFFFFFFF, upper, NvmeSecureErase::UserData), 0x80, 0xFFFFFFFF, 0x3201, 0, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.cdw10);
    EXPECT_EQ(r.command.opcode, r.opcode);
    EXPECT_EQ(r.command.nsid, r.nsid);
    EXPECT_EQ(r.command.cdw10, r.cdw10);
    EXPECT_EQ(r.command.cdw11, r.cdw11);
    EXPECT_EQ(r.command.dataLength, r.length);
  }
}

TEST(NvmeCommands, IdentifyAndSanitizeLogAnswersParse) {
  Bytes controller(4096, 0);
  Put(controller, 4, {'S', '1', '2', '3', ' ', ' '});
  Put(controller, 24, {'Q', 'E', 'M', 'U', ' ', 'N', 'V', 'M', 'e'});
  Put(controller, 256, {0x17, 0x00});              // OACS: format, firmware, ...
  Put(controller, 328, {0x03, 0x00, 0x00, 0x20});  // SANICAP: crypto, block, NDI
  Put(controller, 516, {0x06, 0x00, 0x00, 0x00});  // NN
  controller[524] = 0x05;                          // FNA: format all, crypto
  const auto c = ParseNvmeIdentifyController(controller);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->serial, "S123");
  EXPECT_EQ(c->model, "QEMU NVMe");
  EXPECT_TRUE(c->FormatSupported() && c->FormatAppliesToAll() && c->FormatCryptoSupported());
  EXPECT_FALSE(c->SecureEraseAppliesToAll());
  EXPECT_TRUE(c->SanitizeCrypto() && c->SanitizeBlock() && !c->SanitizeOverwrite());
  EXPECT_EQ(c->namespaceCount, 6u);
  EXPECT_FALSE(ParseNvmeIdentifyController(Bytes(4095, 0)));

  Bytes ns(4096, 0);
  Put(ns, 0, {0x00, 0x80});  // NSZE 32768
  ns[26] = 0x01;             // FLBAS: format 1
  ns[33] = 0x09;             // DLFEAT
  ns[128 + 4 * 1 + 2] = 12;  // LBAF1: LBADS 12
  const auto n = ParseNvmeIdentifyNamespace(ns);
  ASSERT_TRUE(n);
  EXPECT_EQ(n->sizeBlocks, 32768u);
  EXPECT_EQ(n->blockBytes, 4096u);
  EXPECT_EQ(n->dlfeat, 0x09);

  Bytes list(4096, 0);
  Put(list, 0, {1, 0, 0, 0, 2, 0, 0, 0, 7, 0, 0, 0});
  EXPECT_EQ(ParseNvmeNamespaceList(list), (std::vector<uint32_t>{1, 2, 7}));

  const auto log = ParseNvmeSanitizeStatus(Bytes{0x00, 0x80, 0x02, 0x01, 0x04, 0, 0, 0});
  ASSERT_TRUE(log);
  EXPECT_EQ(log->state(), NvmeSanitizeStatus::State::InProgress);
  EXPECT_EQ(U8(DescribeSanitizeStatus(*log)),
            "SSTAT 0102h (in progress), SPROG 32768/65536, SCDW10 00000004h");
  EXPECT_EQ(U8(DescribeNvmeStatus(0x4001)),
            "NVMe status 4001h (SCT 0h, SC 01h: Invalid Command Opcode)");
}

TEST(AtaCommands, PassThrough16CdbsOfEveryCommand) {
  struct Row {
    AtaCommand command;
    Bytes cdb;
  };
  const Row rows[] = {
      {AtaIdentify(), {0x85, 0x08, 0x0E, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x00, 0xEC, 0}},
      {AtaReadNativeMaxAddress(true),
       {0x85, 0x07, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x27, 0}},
      {AtaReadNativeMaxAddress(false),
       {0x85, 0x06, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0xF8, 0}},
      {AtaGetNativeMaxAddressExt(),
       {0x85, 0x07, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x78, 0}},
      {AtaSetMaxAddressVolatile(0x0ABCDEF1, false),
       {0x85, 0x06, 0x00, 0, 0, 0, 0, 0, 0xF1, 0, 0xDE, 0, 0xBC, 0x4A, 0xF9, 0}},
      {AtaSetMaxAddressVolatile(0x123456789ABC, true),
       {0x85, 0x07, 0x00, 0, 0, 0, 0, 0x56, 0xBC, 0x34, 0x9A, 0x12, 0x78, 0x40, 0x37, 0}},
      {AtaSanitizeCryptoScramble(),
       {0x85, 0x07, 0x00, 0, 0x11, 0, 0, 0x43, 0x70, 0, 0x79, 0, 0x72, 0x40, 0xB4, 0}},
      {AtaSanitizeBlockErase(),
       {0x85, 0x07, 0x00, 0, 0x12, 0, 0, 0x42, 0x72, 0, 0x45, 0, 0x6B, 0x40, 0xB4, 0}},
      {AtaSanitizeOverwrite(0),
       {0x85, 0x07, 0x00, 0, 0x14, 0, 1, 0, 0, 0x57, 0, 0x4F, 0, 0x40, 0xB4, 0}},
      {AtaSanitizeStatus(), {0x85, 0x07, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0xB4, 0}},
      {AtaSecurityCommand(kAtaSecurityEraseUnit),
       {0x85, 0x0A, 0x06, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x40, 0xF4, 0}},
      {AtaSecurityCommand(kAtaSecurityErasePrepare),
       {0x85, 0x06, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0xF3, 0}},
      {AtaDcoIdentify(), {0x85, 0x08, 0x0E, 0, 0xC2, 0, 1, 0, 0, 0, 0, 0, 0, 0x40, 0xB1, 0}},
  };
  for (const Row& r : rows)
    EXPECT_EQ(AtaPassThroughCdb(r.command), r.cdb) << std::hex << int(r.command.command);
  const auto block = AtaPasswordBlock("TVDE-1", false, true);
  EXPECT_EQ(Bytes(block.begin(), block.begin() + 10),
            (Bytes{0x02, 0, 'T', 'V', 'D', 'E', '-', '1', 0, 0}));
  EXPECT_EQ(AtaPasswordBlock("x", true, false)[0], 0x01);
}

TEST(AtaCommands, RegistersComeBackFromDescriptorAndBothFixedSenseLayouts) {
  const Bytes descriptor = {0x72, 0x01, 0x00, 0x1D, 0,    0,    0,    0x0E, 0x09, 0x0C, 0x01,
                            0x00, 0x00, 0x05, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x40, 0x50};
  auto r = ParseAtaReturn(descriptor, true);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->lba, 0x9A5612BC7834u);
  EXPECT_EQ(r->count, 5);
  EXPECT_EQ(r->status, 0x50);
  r = ParseAtaReturn(descriptor, false);  // 28-bit: LBA 27:24 from the device register
  EXPECT_EQ(r->lba, 0x0BC7834u);
  Bytes fixed(18, 0);
  Put(fixed, 0, {0x70, 0, 0x0B, 0x04, 0x51, 0x40, 0x00, 0x0A});
  EXPECT_EQ(U8(DescribeAtaRegisters(*ParseAtaReturn(fixed, false))),
            "ATA status 51h error 04h (ABRT: command aborted)");
  Bytes shifted(18, 0);  // libata before 6.11
  Put(shifted, 0, {0x70, 0, 0x0B, 0, 0, 0, 0, 0x0A, 0x04, 0x51});
  EXPECT_EQ(ParseAtaReturn(shifted, false)->status, 0x51);
  EXPECT_FALSE(ParseAtaReturn(Bytes{0x72, 0x05, 0x20, 0x00, 0, 0, 0, 0}, false));
}

TEST(AtaCommands, IdentifyWordsGiveTheFeatureAndSecurityStates) {
  Bytes id(512, 0);
  const auto word = [&id](size_t w, uint16_t v) { Put(id, w * 2, {uint8_t(v), uint8_t(v >> 8)}); };
  Put(id, 54, {'E', 'Q', 'U', 'M', 'H', ' ', 'R', 'A', 'D', 'D', 'S', 'I', ' ', 'K'});  // words 27+
  word(59, 0xB000);   // sanitize: block, crypto
  word(82, 0x0402);   // HPA, security
  word(83, 0x0C00);   // 48-bit, DCO
  word(89, 0x0010);   // 32 minutes
  word(90, 0x8003);   // extended form: 6 minutes
  word(100, 0x4240);  // 1000000 sectors
  word(101, 0x000F);
  word(119, 0x4100);  // AMA
  word(128, 0x0029);  // supported, frozen, enhanced erase
  word(217, 0x0001);
  id[510] = 0xA5;
  uint8_t sum = 0;
  for (size_t i = 0; i < 511; ++i)
    sum = static_cast<uint8_t>(sum + id[i]);
  id[511] = static_cast<uint8_t>(-sum);
  const auto f = ParseAtaIdentify(id);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->model, "QEMU HARDDISK");
  EXPECT_EQ(f->userSectors, 1000000u);
  EXPECT_TRUE(f->sanitizeCrypto && f->sanitizeBlock && !f->sanitizeOverwrite);
  EXPECT_TRUE(f->hpaSupported && f->dcoSupported && f->amaSupported && f->lba48 && f->nonRotating);
  EXPECT_TRUE(f->security.supported && f->security.frozen && f->security.enhancedEraseSupported);
  EXPECT_FALSE(f->security.locked || f->security.enabled || f->security.countExpired);
  EXPECT_EQ(f->security.normalEraseMinutes, 32u);
  EXPECT_EQ(f->security.enhancedEraseMinutes, 6u);
  id[0] ^= 1;  // the integrity word no longer adds up
  EXPECT_FALSE(ParseAtaIdentify(id));
  AtaRegisters status;
  status.count = 0x4000;
  status.lba = 0x8000;
  EXPECT_TRUE(ParseAtaSanitizeStatus(status).inProgress);
  EXPECT_EQ(ParseAtaSanitizeStatus(status).progress, 0x8000);
}

TEST(ScsiCommands, CdbsParameterListsAndSense) {
  EXPECT_EQ(ScsiReportOperation(0x48, 3).cdb,
            (Bytes{0xA3, 0x0C, 0x02, 0x48, 0, 3, 0, 0, 0, 0x20, 0, 0}));
  EXPECT_EQ(ScsiSanitize(ScsiSanitizeAction::BlockErase).cdb,
            (Bytes{0x48, 0x82, 0, 0, 0, 0, 0, 0, 0, 0}));
  const ScsiCommand overwrite = ScsiSanitize(ScsiSanitizeAction::Overwrite, 0x11223344);
  EXPECT_EQ(overwrite.cdb, (Bytes{0x48, 0x81, 0, 0, 0, 0, 0, 0, 8, 0}));
  EXPECT_EQ(overwrite.dataOut, (Bytes{0x01, 0, 0, 4, 0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(ScsiRequestSense().cdb, (Bytes{0x03, 0x01, 0, 0, 0xFC, 0}));
  EXPECT_EQ(ScsiFormatUnit().cdb, (Bytes{0x04, 0, 0, 0, 0, 0}));
  EXPECT_EQ(ScsiModeSenseControlPage().cdb, (Bytes{0x5A, 0x08, 0x0A, 0, 0, 0, 0, 0, 0x40, 0}));
  Bytes modeSense(20, 0);
  Put(modeSense, 0, {0x00, 0x12, 0, 0, 0, 0, 0, 0, 0x8A, 0x0A, 0x02});
  const auto select = ScsiSelectDescriptorSense(modeSense);
  ASSERT_TRUE(select);
  EXPECT_EQ(select->cdb, (Bytes{0x55, 0x10, 0, 0, 0, 0, 0, 0, 20, 0}));
  EXPECT_EQ(Bytes(select->dataOut.begin() + 8, select->dataOut.begin() + 11),
            (Bytes{0x0A, 0x0A, 0x06}));
  modeSense[10] = 0x06;  // D_SENSE already set: nothing to select
  EXPECT_FALSE(ScsiSelectDescriptorSense(modeSense));

  const SenseData fixed = ParseSense(
      Bytes{0x70, 0, 0x02, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x04, 0x1B, 0, 0x80, 0x40, 0x00});
  EXPECT_TRUE(IsSanitizeInProgress(fixed));
  EXPECT_EQ(fixed.progress, 0x4000);
  const SenseData desc =
      ParseSense(Bytes{0x72, 0x02, 0x04, 0x1B, 0, 0, 0, 8, 0x02, 0x06, 0, 0, 0x80, 0x12, 0x34, 0});
  EXPECT_EQ(desc.progress, 0x1234);
  const SenseData invalid = ParseSense(Bytes{0x72, 0x05, 0x20, 0x00, 0, 0, 0, 0});
  EXPECT_TRUE(IsUnsupportedCommand(invalid));
  EXPECT_EQ(U8(DescribeSense(invalid)),
            "sense key 5h ILLEGAL REQUEST, ASC/ASCQ 20h/00h (INVALID COMMAND OPERATION CODE)");
  EXPECT_TRUE(IsSanitizeFailed(ParseSense(Bytes{0x72, 0x03, 0x31, 0x03})));
  EXPECT_EQ(ParseOperationSupport(Bytes{0, 0x03, 0, 10}), CommandSupport::Supported);
  EXPECT_EQ(ParseOperationSupport(Bytes{0, 0x01}), CommandSupport::NotSupported);
}

TEST(WindowsRequests, ControlCodesAccessRuleAndBufferLayouts) {
  using namespace winreq;
  EXPECT_EQ(kQueryProperty, 0x002D1400u);
  EXPECT_EQ(kProtocolCommand, 0x002DD3C0u);
  EXPECT_EQ(kReinitializeMedia, 0x002D9640u);
  EXPECT_EQ(kAtaPassThrough, 0x0004D02Cu);
  EXPECT_EQ(kScsiPassThroughDirect, 0x0004D014u);
  // One row per kind of handle: none, read only, read and write.
  EXPECT_TRUE(ControlAccessGranted(kQueryProperty, 0));
  EXPECT_FALSE(ControlAccessGranted(kAtaPassThrough, kReadAccess));
  EXPECT_FALSE(ControlAccessGranted(kReinitializeMedia, kReadAccess));
  EXPECT_TRUE(ControlAccessGranted(kProtocolCommand, kReadAccess | kWriteAccess));

  const Bytes query = ProtocolQuery(49, 3, 1, 1, 0, 4096);
  ASSERT_EQ(query.size(), 48u + 4096);
  EXPECT_EQ(Bytes(query.begin(), query.begin() + 32),
            (Bytes{49, 0, 0, 0, 0, 0, 0, 0, 3,  0, 0, 0, 1, 0,    0, 0,
                   1,  0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0, 0, 0x10, 0, 0}));

  const Bytes format = NvmeProtocolCommand(NvmeSanitize(NvmeSanitizeAction::CryptoErase), {});
  ASSERT_EQ(format.size(), 80u + 64 + 64);
  EXPECT_EQ(Bytes(format.begin(), format.begin() + 16),
            (Bytes{1, 0, 0, 0, 84, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0x80}));
  EXPECT_EQ(format[24], 64);   // CommandLength
  EXPECT_EQ(format[44], 144);  // ErrorInfoOffset
  EXPECT_EQ(format[56], 1);    // admin command
  EXPECT_EQ(format[80], 0x84);
  EXPECT_EQ(format[80 + 40], 0x04);  // CDW10

  // The 64-bit layout, then the 32-bit one (a pointer-sized field of 4 bytes).
  const uint8_t size = kPointers64 ? 48 : 40, dataOffset = kPointers64 ? 24 : 20;
  const Bytes ata = AtaPassThrough(AtaSetMaxAddressVolatile(0x123456789ABC, true), {});
  ASSERT_EQ(ata.size(), size);
  EXPECT_EQ(Bytes(ata.begin(), ata.begin() + 4), (Bytes{size, 0, 0x09, 0}));  // DRDY, 48-bit
  EXPECT_EQ(ata[dataOffset], size);                                           // DataBufferOffset
  EXPECT_EQ(Bytes(ata.begin() + dataOffset + (kPointers64 ? 8 : 4), ata.end()),
            (Bytes{0, 0, 0x56, 0x34, 0x12, 0, 0, 0, 0, 0, 0xBC, 0x9A, 0x78, 0x40, 0x37, 0}));

  uint8_t data[32];
  const uint8_t scsiSize = kPointers64 ? 56 : 44, senseOffset = kPointers64 ? 32 : 24;
  const Bytes sptd = ScsiPassThroughDirect(ScsiReportOperation(0x48, 2), data, 32);
  ASSERT_EQ(sptd.size(), scsiSize + 32u);
  EXPECT_EQ(Bytes(sptd.begin(), sptd.begin() + 9), (Bytes{scsiSize, 0, 0, 0, 0, 0, 12, 32, 1}));
  EXPECT_EQ(sptd[senseOffset], scsiSize);  // SenseInfoOffset
  EXPECT_EQ(sptd[senseOffset + 4], 0xA3);
  EXPECT_EQ(ReinitializeMediaRequest(ReinitializeMethod::CryptoErase, 60),
            (Bytes{16, 0, 0, 0, 16, 0, 0, 0, 60, 0, 0, 0, 2, 0, 0, 0}));
}

}  // namespace
}  // namespace tvde
