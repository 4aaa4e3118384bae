// The 16-bit interpreter used by the boot program tests.
#include "real_mode_cpu.h"

#include <cstring>

namespace tvde::testing {

RealModeCpu::RealModeCpu() : memory_(0x110000, 0) {}

void RealModeCpu::Load(uint32_t linearAddress, const uint8_t* data, size_t size) {
  std::memcpy(memory_.data() + linearAddress, data, size);
}

uint32_t RealModeCpu::Linear(uint16_t segment, uint16_t offset) const {
  return (static_cast<uint32_t>(segment) << 4) + offset;
}

uint8_t RealModeCpu::Fetch() {
  return memory_[Linear(regs_.cs, regs_.ip++)];
}

uint16_t RealModeCpu::Fetch16() {
  const uint16_t low = Fetch();
  return static_cast<uint16_t>(low | (Fetch() << 8));
}

uint16_t& RealModeCpu::Reg16(int index) {
  uint16_t* table[] = {&regs_.ax, &regs_.cx, &regs_.dx, &regs_.bx,
                       &regs_.sp, &regs_.bp, &regs_.si, &regs_.di};
  return *table[index & 7];
}

uint16_t& RealModeCpu::SegmentReg(int index) {
  uint16_t* table[] = {&regs_.es, &regs_.cs, &regs_.ss, &regs_.ds};
  return *table[index & 3];
}

RunResult RealModeCpu::Run(uint32_t stopAt, int maxSteps) {
  for (int step = 0; step < maxSteps; ++step) {
    const uint32_t here = Linear(regs_.cs, regs_.ip);
    if (here == stopAt) return {StopReason::kReachedStop, here, ""};
    const uint8_t op = Fetch();
    if (op >= 0xB0 && op <= 0xB7) {  // mov r8, imm8 (AL CL DL BL AH CH DH BH)
      const uint8_t value = Fetch();
      uint16_t& reg = Reg16(op & 3);
      reg = (op & 4) ? static_cast<uint16_t>((reg & 0x00FF) | (value << 8))
                     : static_cast<uint16_t>((reg & 0xFF00) | value);
      continue;
    }
    if (op >= 0xB8 && op <= 0xBF) {  // mov r16, imm16
      Reg16(op & 7) = Fetch16();
      continue;
    }
    switch (op) {
      case 0xFA:
        regs_.interrupts = false;
        break;  // cli
      case 0xFB:
        regs_.interrupts = true;
        break;  // sti
      case 0xFC:
        regs_.direction = false;
        break;  // cld
      case 0xF4:
        return {StopReason::kHalted, here, ""};
      case 0x31: {  // xor r/m16, r16 (register form only)
        const uint8_t modrm = Fetch();
        if ((modrm >> 6) != 3) return {StopReason::kUnknownOpcode, here, "xor with memory"};
        uint16_t& target = Reg16(modrm & 7);
        target = static_cast<uint16_t>(target ^ Reg16((modrm >> 3) & 7));
        regs_.zero = target == 0;
        regs_.carry = false;
        break;
      }
      case 0x84: {  // test r/m8, r8 (only test al, al)
        if (Fetch() != 0xC0) return {StopReason::kUnknownOpcode, here, "test form"};
        regs_.zero = regs_.al() == 0;
        regs_.carry = false;
        break;
      }
      case 0x8E: {  // mov sreg, r16
        const uint8_t modrm = Fetch();
        if ((modrm >> 6) != 3) return {StopReason::kUnknownOpcode, here, "mov sreg form"};
        SegmentReg((modrm >> 3) & 7) = Reg16(modrm & 7);
        break;
      }
      case 0xAC: {  // lodsb
        regs_.ax = static_cast<uint16_t>((regs_.ax & 0xFF00) | memory_[Linear(regs_.ds, regs_.si)]);
        regs_.si = static_cast<uint16_t>(regs_.si + (regs_.direction ? -1 : 1));
        break;
      }
      case 0xCD: {  // int imm8
        const uint8_t vector = Fetch();
        if (!handler_) return {StopReason::kUnknownOpcode, here, "no interrupt handler"};
        handler_(vector, regs_);
        break;
      }
      case 0x73:    // jnc rel8
      case 0x74:    // jz rel8
      case 0xEB: {  // jmp rel8
        const auto rel = static_cast<int8_t>(Fetch());
        const bool taken = op == 0xEB || (op == 0x73 && !regs_.carry) || (op == 0x74 && regs_.zero);
        if (taken) regs_.ip = static_cast<uint16_t>(regs_.ip + rel);
        break;
      }
      case 0xE9: {  // jmp rel16
        const uint16_t rel = Fetch16();
        regs_.ip = static_cast<uint16_t>(regs_.ip + rel);
        break;
      }
      default:
        return {StopReason::kUnknownOpcode, here, "opcode " + std::to_string(op)};
    }
  }
  return {StopReason::kStepLimit, Linear(regs_.cs, regs_.ip), ""};
}

}  // namespace tvde::testing
