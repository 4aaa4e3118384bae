#pragma once
// Which program file goes into WinPE media, and whether that WinPE can start it: a 32-bit WinPE
// runs only i386 programs, a 64-bit WinPE (which has no 32-bit subsystem) only x86-64 ones.

#include <cstdint>
#include <string>
#include <string_view>

namespace tvde {

// COFF machine values of the two program builds.
enum PeMachine : uint16_t {
  kPeMachineNone = 0,  // not a PE image
  kPeMachineI386 = 0x014C,
  kPeMachineAmd64 = 0x8664,
};

// The machine field of the PE image whose first bytes are `bytes` ("MZ", at 0x3C the offset of
// the "PE\0\0" signature, the machine right after it); kPeMachineNone for anything else.
uint16_t PeImageMachine(std::string_view bytes);

// The machine whose programs the WinPE of an architecture starts.
uint16_t WinPEProgramMachine(int32_t architecture);

enum class MediaProgramSource {
  kRunningProgram,  // the running program's own file
  kX86Beside,       // "TorevalDiskEraser_x86.exe" beside it
  kX86InFolder,     // "x86\TorevalDiskEraser.exe" beside it
};

struct MediaProgram {
  std::wstring path;
  MediaProgramSource source = MediaProgramSource::kRunningProgram;
  uint16_t machine = kPeMachineNone;  // read from the file's header
  bool suitable = false;              // the media's WinPE can start it
};

// By default the running program; for x86 media the 32-bit build beside it comes first.
MediaProgram ChooseMediaProgram(int32_t architecture, const std::wstring& programPath);

// What the operator is told when the chosen program cannot start on the media (box text), and
// the log line that also names the file and what it was built for.
std::wstring MediaProgramRefusalText(int32_t architecture);
std::wstring MediaProgramRefusalLogLine(int32_t architecture, const MediaProgram& program);

}  // namespace tvde
