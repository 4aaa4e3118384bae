// The MBR boot code and the BIOS report program run in a 16-bit interpreter against scripted
// BIOS services: which sectors they read, where they go next and what they put on the screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bootprog/boot_programs.h"
#include "real_mode_cpu.h"

namespace tvde {
namespace {

using testing::RealModeCpu;
using testing::RealModeRegisters;
using testing::StopReason;

constexpr uint32_t kMbrAddress = 0x7C00;
constexpr uint32_t kProgramAddress = 0x8000;
constexpr uint8_t kPacket[16] = {0x10, 0x00, 0x08, 0x00, 0x00, 0x80, 0x00, 0x00,
                                 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr char kMessage[] = "\r\n[TOREVAL DISK ERASER] SANITIZED & VERIFIED. Cert: X-1\r\n";

struct DiskCall {
  RealModeRegisters regs;
  std::vector<uint8_t> packet;  // the extended-read packet at DS:SI, when AH = 42h
};

// Boots the MBR code with a BIOS whose extended and CHS reads succeed or fail as asked.
struct MbrBoot {
  RealModeCpu cpu;
  std::vector<DiskCall> diskCalls;
  std::vector<RealModeRegisters> videoCalls;
  std::string teletype;

  MbrBoot(bool extendedReadWorks, bool chsReadWorks) {
    const BootPrograms programs = EmbeddedBootPrograms();
    cpu.Load(kMbrAddress, programs.mbrBootCode.data(), programs.mbrBootCode.size());
    cpu.Load(kMbrAddress + 0x40, kPacket, sizeof kPacket);
    cpu.Load(kMbrAddress + 0x50, reinterpret_cast<const uint8_t*>(kMessage), sizeof kMessage);
    // Whatever the BIOS left in the registers must not matter, except DL.
    RealModeRegisters& r = cpu.regs();
    r.ax = 0xAA55;
    r.bx = 0x1234;
    r.cx = 0x5678;
    r.dx = 0x9A80;  // DH garbage, DL = first hard disk
    r.si = 0x4321;
    r.ds = 0x1111;
    r.es = 0x2222;
    r.ss = 0x3333;
    r.sp = 0x0100;
    r.cs = 0;
    r.ip = 0x7C00;
    cpu.SetInterruptHandler(
        [this, extendedReadWorks, chsReadWorks](uint8_t vector, RealModeRegisters& regs) {
          if (vector == 0x13) {
            DiskCall call{regs, {}};
            if (regs.ah() == 0x42) {
              const uint32_t at = (regs.ds << 4) + regs.si;
              call.packet.assign(cpu.memory().begin() + at, cpu.memory().begin() + at + 16);
            }
            diskCalls.push_back(call);
            regs.carry =
                (regs.ah() == 0x42 && !extendedReadWorks) || (regs.ah() == 0x02 && !chsReadWorks);
            regs.ax = regs.carry ? 0x0100 : 0x0000;
          } else if (vector == 0x10) {
            videoCalls.push_back(regs);
            if (regs.ah() == 0x0E) teletype += static_cast<char>(regs.al());
          }
        });
  }
};

TEST(MbrBootCode, ExtendedReadOfTheSectorsBehindTheRecordThenEntersTheProgram) {
  MbrBoot boot(true, true);
  const auto result = boot.cpu.Run(kProgramAddress);
  ASSERT_EQ(result.reason, StopReason::kReachedStop) << result.detail;

  ASSERT_EQ(boot.diskCalls.size(), 1u);
  const DiskCall& read = boot.diskCalls[0];
  EXPECT_EQ(read.regs.ah(), 0x42);
  EXPECT_EQ(read.regs.dl(), 0x80) << "the boot drive from the BIOS";
  EXPECT_EQ(read.regs.ds, 0);
  EXPECT_EQ(read.regs.si, 0x7C40);
  EXPECT_EQ(read.packet, std::vector<uint8_t>(kPacket, kPacket + 16));
  // Segments and stack were set up before the first BIOS call, with interrupts back on.
  EXPECT_EQ(read.regs.ss, 0);
  EXPECT_EQ(read.regs.sp, 0x7C00);
  EXPECT_EQ(read.regs.es, 0);
  EXPECT_TRUE(read.regs.interrupts);
  EXPECT_TRUE(boot.videoCalls.empty());
  // The report program finds DS = 0 for its text at 0x8060.
  EXPECT_EQ(boot.cpu.regs().ds, 0);
}

TEST(MbrBootCode, EntersTheProgramWhenStartedAt07C0Segment) {
  MbrBoot boot(true, true);
  boot.cpu.regs().cs = 0x07C0;
  boot.cpu.regs().ip = 0;
  const auto result = boot.cpu.Run(kProgramAddress);
  EXPECT_EQ(result.reason, StopReason::kReachedStop) << "stopped at " << result.linearAddress;
}

TEST(MbrBootCode, WithoutExtensionsResetsAndReadsTheSameSectorsByChs) {
  MbrBoot boot(false, true);
  const auto result = boot.cpu.Run(kProgramAddress);
  ASSERT_EQ(result.reason, StopReason::kReachedStop) << result.detail;

  ASSERT_EQ(boot.diskCalls.size(), 3u);
  EXPECT_EQ(boot.diskCalls[1].regs.ah(), 0x00) << "drive reset";
  EXPECT_EQ(boot.diskCalls[1].regs.dl(), 0x80);
  const RealModeRegisters& chs = boot.diskCalls[2].regs;
  EXPECT_EQ(chs.ah(), 0x02);
  EXPECT_EQ(chs.al(), 8) << "sectors";
  EXPECT_EQ(chs.cx, 0x0006) << "cylinder 0, sector 6 (LBA 5)";
  EXPECT_EQ(chs.dh(), 0) << "head 0, whatever DH held at boot";
  EXPECT_EQ(chs.dl(), 0x80);
  EXPECT_EQ(chs.es, 0);
  EXPECT_EQ(chs.bx, 0x8000);
  EXPECT_TRUE(boot.videoCalls.empty());
}

TEST(MbrBootCode, FloppyBootKeepsItsDriveNumber) {
  MbrBoot boot(false, true);
  boot.cpu.regs().dx = 0x0000;
  ASSERT_EQ(boot.cpu.Run(kProgramAddress).reason, StopReason::kReachedStop);
  for (const DiskCall& call : boot.diskCalls)
    EXPECT_EQ(call.regs.dl(), 0x00);
}

TEST(MbrBootCode, PrintsTheFallbackMessageAndHaltsWhenBothReadsFail) {
  MbrBoot boot(false, false);
  const auto result = boot.cpu.Run(kProgramAddress);
  ASSERT_EQ(result.reason, StopReason::kHalted) << result.detail;
  EXPECT_LT(result.linearAddress, kMbrAddress + kMbrBootCodeSize);

  EXPECT_EQ(boot.teletype, kMessage);
  for (const RealModeRegisters& call : boot.videoCalls) {
    EXPECT_EQ(call.ah(), 0x0E);
    EXPECT_EQ(call.bh(), 0) << "display page 0";
  }
  EXPECT_EQ(boot.diskCalls.size(), 3u) << "no further disk access after the failure";
}

// Runs the report program with a given text behind it and records every video call.
struct ReportProgramRun {
  RealModeCpu cpu;
  std::vector<RealModeRegisters> videoCalls;
  std::string teletype;
  bool touchedDisk = false;

  explicit ReportProgramRun(const std::string& text) {
    const BootPrograms programs = EmbeddedBootPrograms();
    cpu.Load(kProgramAddress, programs.biosReportProgram.data(), programs.biosReportProgram.size());
    cpu.Load(kProgramAddress + 0x60, reinterpret_cast<const uint8_t*>(text.c_str()),
             text.size() + 1);
    RealModeRegisters& r = cpu.regs();
    r.cs = 0;
    r.ip = 0x8000;
    r.ds = 0;
    r.bx = 0xFFFF;
    r.direction = true;  // the program must not rely on the BIOS leaving DF clear
    cpu.SetInterruptHandler([this](uint8_t vector, RealModeRegisters& regs) {
      if (vector == 0x10) {
        videoCalls.push_back(regs);
        if (regs.ah() == 0x0E) teletype += static_cast<char>(regs.al());
        regs.ax = 0x5A5A;  // video services may change AX
      } else {
        touchedDisk = true;
      }
    });
  }
};

TEST(BiosReportProgram, PaintsTheColourBandsThenPrintsTheWholeText) {
  std::string text;
  for (int line = 1; line <= 25; ++line) {
    text += " line " + std::to_string(line) + " ~!@#$%^&*()_+{}|:\"<>?";
    if (line < 25) text += "\r\n";
  }
  ReportProgramRun run(text);
  const auto result = run.cpu.Run(0xFFFFF);
  ASSERT_EQ(result.reason, StopReason::kHalted) << result.detail;
  EXPECT_FALSE(run.touchedDisk);

  ASSERT_GE(run.videoCalls.size(), 7u);
  const auto& v = run.videoCalls;
  EXPECT_EQ(v[0].ax, 0x0003) << "80x25 colour text mode";
  EXPECT_EQ(v[1].ax, 0x1003) << "blink off";
  EXPECT_EQ(v[1].bl(), 0);
  EXPECT_EQ(v[2].ah(), 0x01) << "cursor shape";
  EXPECT_EQ(v[2].cx, 0x2607) << "hidden";
  struct Band {
    uint8_t attribute;
    uint16_t topLeft, bottomRight;
  };
  const Band bands[] = {{0x1F, 0x0000, 0x014F}, {0x70, 0x0200, 0x174F}, {0x1E, 0x1800, 0x184F}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(v[3 + i].ax, 0x0600) << "clear window";
    EXPECT_EQ(v[3 + i].bh(), bands[i].attribute);
    EXPECT_EQ(v[3 + i].cx, bands[i].topLeft);
    EXPECT_EQ(v[3 + i].dx, bands[i].bottomRight);
  }
  EXPECT_EQ(v[6].ah(), 0x02) << "cursor position";
  EXPECT_EQ(v[6].bh(), 0);
  EXPECT_EQ(v[6].dx, 0x0000);

  EXPECT_EQ(run.teletype, text);
  for (size_t i = 7; i < v.size(); ++i) {
    EXPECT_EQ(v[i].ah(), 0x0E);
    EXPECT_EQ(v[i].bh(), 0) << "display page 0";
  }
}

TEST(BiosReportProgram, EmptyTextPaintsTheScreenAndPrintsNothing) {
  ReportProgramRun run("");
  ASSERT_EQ(run.cpu.Run(0xFFFFF).reason, StopReason::kHalted);
  EXPECT_EQ(run.videoCalls.size(), 7u);
  EXPECT_TRUE(run.teletype.empty());
}

TEST(BiosReportProgram, FitsBeforeItsText) {
  const BootPrograms programs = EmbeddedBootPrograms();
  EXPECT_GT(programs.biosReportProgram.size(), 0u);
  EXPECT_LE(programs.biosReportProgram.size(), kBiosReportProgramBudget);
  EXPECT_LE(programs.biosReportProgram.size(), 84u) << "the stamp reserves 84 bytes";
  EXPECT_EQ(programs.mbrBootCode.size(), kMbrBootCodeSize);
}

}  // namespace
}  // namespace tvde
