#pragma once
// A tiny 16-bit real-mode interpreter for the instructions the boot programs use, with the
// BIOS interrupts handed to the test. It runs the programs' bytes as a BIOS would, so tests can
// check what they ask of the disk and the screen rather than which bytes they contain.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tvde::testing {

struct RealModeRegisters {
  uint16_t ax = 0, bx = 0, cx = 0, dx = 0, si = 0, di = 0, sp = 0, bp = 0;
  uint16_t cs = 0, ds = 0, es = 0, ss = 0, ip = 0;
  bool carry = false, zero = false, direction = false, interrupts = true;

  uint8_t ah() const { return static_cast<uint8_t>(ax >> 8); }
  uint8_t al() const { return static_cast<uint8_t>(ax); }
  uint8_t bh() const { return static_cast<uint8_t>(bx >> 8); }
  uint8_t bl() const { return static_cast<uint8_t>(bx); }
  uint8_t dh() const { return static_cast<uint8_t>(dx >> 8); }
  uint8_t dl() const { return static_cast<uint8_t>(dx); }
};

enum class StopReason {
  kHalted,         // reached HLT (the idle loop)
  kReachedStop,    // control arrived at the stop address
  kUnknownOpcode,  // an instruction this interpreter does not know
  kStepLimit,      // ran too long
};

struct RunResult {
  StopReason reason;
  uint32_t linearAddress;  // where execution stopped
  std::string detail;
};

class RealModeCpu {
 public:
  // Interrupt handler: may change registers and memory; sets carry to report failure.
  using InterruptHandler = std::function<void(uint8_t vector, RealModeRegisters& regs)>;

  RealModeCpu();

  std::vector<uint8_t>& memory() { return memory_; }
  RealModeRegisters& regs() { return regs_; }
  void Load(uint32_t linearAddress, const uint8_t* data, size_t size);
  void SetInterruptHandler(InterruptHandler handler) { handler_ = std::move(handler); }

  // Runs from CS:IP until HLT, until the linear stop address is reached or a limit hits.
  RunResult Run(uint32_t stopAt, int maxSteps = 100000);

 private:
  uint8_t Fetch();
  uint16_t Fetch16();
  uint16_t& Reg16(int index);
  uint16_t& SegmentReg(int index);
  uint32_t Linear(uint16_t segment, uint16_t offset) const;

  std::vector<uint8_t> memory_;
  RealModeRegisters regs_;
  InterruptHandler handler_;
};

}  // namespace tvde::testing
