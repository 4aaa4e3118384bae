// The program file of WinPE media and the check of its PE machine.
#include "winpe/media_program.h"

#include <span>

#include "base/byte_order.h"
#include "base/file_system.h"
#include "base/host_environment.h"
#include "winpe/image_contents.h"
#include "winpe/winpe_build_commands.h"

namespace tvde {
namespace {

constexpr size_t kPeOffsetField = 0x3C;  // e_lfanew of the DOS header
constexpr size_t kMaxProgramBytes = size_t{256} * 1024 * 1024;

uint16_t MachineOfFile(const std::wstring& path) {
  std::string content;
  if (ReadRegularFile(path, kMaxProgramBytes, content) != FileReadResult::Read) {
    return kPeMachineNone;
  }
  return PeImageMachine(content);
}

std::wstring MachineName(uint16_t machine) {
  if (machine == kPeMachineI386) return L"i386 (32-bit)";
  if (machine == kPeMachineAmd64) return L"x86-64 (64-bit)";
  return L"x86 / x64 の実行ファイルではありません";
}

}  // namespace

uint16_t PeImageMachine(std::string_view bytes) {
  const std::span<const uint8_t> data(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (data.size() < kPeOffsetField + 4 || bytes.substr(0, 2) != "MZ") return kPeMachineNone;
  const uint32_t pe = GetLe32(data.subspan(kPeOffsetField));
  if (pe > data.size() - 6 || bytes.substr(pe, 4) != std::string_view("PE\0\0", 4)) {
    return kPeMachineNone;
  }
  return GetLe16(data.subspan(pe + 4));
}

uint16_t WinPEProgramMachine(int32_t architecture) {
  return architecture == kWinPEArchitectureX86 ? kPeMachineI386 : kPeMachineAmd64;
}

MediaProgram ChooseMediaProgram(int32_t architecture, const std::wstring& programPath) {
  MediaProgram program{programPath, MediaProgramSource::kRunningProgram};
  if (architecture == kWinPEArchitectureX86) {
    const std::wstring folder = DirectoryOfPath(programPath);
    const std::wstring beside = folder + L"\\" + std::wstring(kX86ProgramName);
    const std::wstring inFolder = folder + L"\\" + std::wstring(kX86ProgramInFolder);
    if (PathExists(beside)) {
      program = {beside, MediaProgramSource::kX86Beside};
    } else if (PathExists(inFolder)) {
      program = {inFolder, MediaProgramSource::kX86InFolder};
    }
  }
  program.machine = MachineOfFile(program.path);
  program.suitable = program.machine == WinPEProgramMachine(architecture);
  return program;
}

std::wstring MediaProgramRefusalText(int32_t architecture) {
  if (architecture == kWinPEArchitectureX86) {
    return L"x86 (32-bit) WinPE メディアには 32-bit 版の Toreval Disk Eraser が必要です。\n"
           L"本プログラムと同じフォルダに TorevalDiskEraser_x86.exe を置いてから実行してください。";
  }
  return L"x64 (64-bit) WinPE メディアには 64-bit 版の Toreval Disk Eraser が必要です。\n"
         L"64-bit 版の TorevalDiskEraser.exe から実行してください。";
}

std::wstring MediaProgramRefusalLogLine(int32_t architecture, const MediaProgram& program) {
  std::wstring text = MediaProgramRefusalText(architecture);
  text.replace(text.find(L'\n'), 1, L" ");
  return L"[ERROR] " + text + L" (組み込もうとしたファイル: " + program.path + L" - " +
         MachineName(program.machine) + L")";
}

}  // namespace tvde
