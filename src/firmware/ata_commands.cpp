// ATA task files of the sanitize and hidden-area commands and the IDENTIFY DEVICE words.
#include "firmware/ata_commands.h"

#include "base/byte_order.h"
#include "base/text.h"

namespace tvde {
namespace {

// The LBA field keys of the SANITIZE commands: "Cryp", "BkEr", and "OW" above the pattern.
constexpr uint64_t kCryptoScrambleKey = 0x43727970;
constexpr uint64_t kBlockEraseKey = 0x426B4572;
constexpr uint64_t kOverwriteKey = uint64_t{0x4F57} << 32;

uint16_t Word(std::span<const uint8_t> block, size_t index) {
  return GetLe16(block.subspan(index * 2));
}

bool Bit(uint16_t word, int bit) {
  return ((word >> bit) & 1) != 0;
}

// ATA strings hold two characters per word, the first in the high byte.
std::string AtaString(std::span<const uint8_t> block, size_t firstWord, size_t words) {
  std::string text;
  for (size_t w = firstWord; w < firstWord + words; ++w) {
    for (const uint8_t c : {block[w * 2 + 1], block[w * 2]})
      text.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : ' ');
  }
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// Words 89/90: bit 15 set, bits 14:0 are the time in 2-minute units; clear, bits 7:0 are.
uint32_t EraseMinutes(uint16_t word) {
  return 2u * (Bit(word, 15) ? (word & 0x7FFFu) : (word & 0xFFu));
}

AtaCommand NonData48(uint8_t code, uint16_t feature, uint64_t lba) {
  AtaCommand command;
  command.command = code;
  command.feature = feature;
  command.lba = lba;
  command.ext = true;
  return command;
}

AtaCommand Sanitize(uint16_t feature, uint64_t lba, uint16_t count) {
  AtaCommand command = NonData48(kAtaSanitize, feature, lba);
  command.count = count;  // bit 4 FAILURE MODE stays 0
  return command;
}

}  // namespace

AtaCommand AtaIdentify() {
  AtaCommand command;
  command.command = kAtaIdentifyDevice;
  command.count = 1;
  command.device = 0;
  command.protocol = AtaProtocol::PioIn;
  return command;
}

AtaCommand AtaReadNativeMaxAddress(bool ext) {
  AtaCommand command = NonData48(ext ? kAtaReadNativeMaxExt : kAtaReadNativeMax, 0, 0);
  command.ext = ext;
  command.wantRegisters = true;
  return command;
}

AtaCommand AtaGetNativeMaxAddressExt() {
  AtaCommand command = NonData48(kAtaAccessibleMax, 0x0000, 0);
  command.wantRegisters = true;
  return command;
}

AtaCommand AtaSetMaxAddressVolatile(uint64_t maxLba, bool ext) {
  AtaCommand command = NonData48(ext ? kAtaSetMaxAddressExt : kAtaSetMaxAddress, 0, maxLba);
  command.ext = ext;
  if (!ext) {
    command.device = static_cast<uint8_t>(0x40 | ((maxLba >> 24) & 0x0F));
    command.lba = maxLba & 0xFFFFFF;
  }
  command.count = 0;  // VV = 0: not kept over a power cycle
  return command;
}

AtaCommand AtaDcoIdentify() {
  AtaCommand command;
  command.command = kAtaDeviceConfiguration;
  command.feature = 0xC2;
  command.count = 1;
  command.protocol = AtaProtocol::PioIn;
  return command;
}

AtaCommand AtaSanitizeStatus() {
  AtaCommand command = Sanitize(kAtaSanitizeStatus, 0, 0);
  command.wantRegisters = true;
  return command;
}

AtaCommand AtaSanitizeCryptoScramble() {
  return Sanitize(kAtaCryptoScramble, kCryptoScrambleKey, 0);
}

AtaCommand AtaSanitizeBlockErase() {
  return Sanitize(kAtaBlockErase, kBlockEraseKey, 0);
}

AtaCommand AtaSanitizeOverwrite(uint32_t pattern) {
  return Sanitize(kAtaOverwrite, kOverwriteKey | pattern, 1);  // one pass, not inverted
}

AtaCommand AtaSecurityCommand(uint8_t code, uint32_t timeoutSeconds) {
  AtaCommand command;
  command.command = code;
  command.timeoutSeconds = timeoutSeconds;
  if (code != kAtaSecurityErasePrepare) {
    command.count = 1;
    command.protocol = AtaProtocol::PioOut;
  }
  return command;
}

std::array<uint8_t, kAtaBlockBytes> AtaPasswordBlock(const std::string& password, bool master,
                                                     bool enhanced) {
  std::array<uint8_t, kAtaBlockBytes> block{};
  block[0] = static_cast<uint8_t>((master ? 0x01 : 0x00) | (enhanced ? 0x02 : 0x00));
  for (size_t i = 0; i < password.size() && i < 32; ++i)
    block[2 + i] = static_cast<uint8_t>(password[i]);
  return block;
}

std::optional<AtaIdentifyFacts> ParseAtaIdentify(std::span<const uint8_t> block) {
  if (block.size() < kAtaBlockBytes) return std::nullopt;
  if (block[510] == 0xA5) {
    uint8_t sum = 0;
    for (size_t i = 0; i < kAtaBlockBytes; ++i)
      sum = static_cast<uint8_t>(sum + block[i]);
    if (sum != 0) return std::nullopt;
  }
  AtaIdentifyFacts facts;
  facts.serial = AtaString(block, 10, 10);
  facts.firmware = AtaString(block, 23, 4);
  facts.model = AtaString(block, 27, 20);
  const uint16_t w59 = Word(block, 59), w82 = Word(block, 82), w83 = Word(block, 83);
  const uint16_t w119 = Word(block, 119), w128 = Word(block, 128);
  facts.lba48 = Bit(w83, 10);
  const uint64_t sectors48 = GetLe64(block.subspan(200));
  facts.userSectors = facts.lba48 && sectors48 != 0 ? sectors48 : GetLe32(block.subspan(120));
  facts.hpaSupported = Bit(w82, 10);
  facts.dcoSupported = Bit(w83, 11);
  facts.amaSupported = (w119 & 0xC000) == 0x4000 && Bit(w119, 8);
  facts.sanitizeSupported = Bit(w59, 12);
  facts.sanitizeCrypto = facts.sanitizeSupported && Bit(w59, 13);
  facts.sanitizeOverwrite = facts.sanitizeSupported && Bit(w59, 14);
  facts.sanitizeBlock = facts.sanitizeSupported && Bit(w59, 15);
  facts.nonRotating = Word(block, 217) == 1;
  AtaSecurityState& s = facts.security;
  s.supported = Bit(w128, 0) || Bit(w82, 1);
  s.enabled = Bit(w128, 1);
  s.locked = Bit(w128, 2);
  s.frozen = Bit(w128, 3);
  s.countExpired = Bit(w128, 4);
  s.enhancedEraseSupported = Bit(w128, 5);
  s.normalEraseMinutes = EraseMinutes(Word(block, 89));
  s.enhancedEraseMinutes = EraseMinutes(Word(block, 90));
  return facts;
}

std::optional<uint64_t> ParseDcoMaxLba(std::span<const uint8_t> block) {
  if (block.size() < kAtaBlockBytes) return std::nullopt;
  return GetLe64(block.subspan(6));
}

AtaSanitizeProgress ParseAtaSanitizeStatus(const AtaRegisters& registers) {
  AtaSanitizeProgress progress;
  progress.completedWithoutError = Bit(registers.count, 15);
  progress.inProgress = Bit(registers.count, 14);
  progress.frozen = Bit(registers.count, 13);
  progress.progress = static_cast<uint16_t>(registers.lba & 0xFFFF);
  return progress;
}

std::wstring DescribeAtaRegisters(const AtaRegisters& registers) {
  std::wstring text =
      FormatPrintfW("ATA status %02Xh error %02Xh", registers.status, registers.error);
  if (registers.Failed() && registers.Aborted()) text += L" (ABRT: command aborted)";
  return text;
}

}  // namespace tvde
