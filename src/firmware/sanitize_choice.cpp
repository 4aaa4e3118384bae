// Firmware erase selection: candidates in order of strength for the operator's choice, each
// checked against the drive's reported support, the platform's rules and the erase's scope.
#include "firmware/sanitize_choice.h"

#include <algorithm>
#include <vector>

#include "base/text.h"

namespace tvde {
namespace {

using M = FirmwareMethod;

constexpr uint32_t kWindows10Build1607 = 14393;
constexpr uint32_t kWindowsServer2022Build = 20348;  // reinitialize with a sanitize option
constexpr uint32_t kWindows11Build = 22000;

struct Candidate {
  M method;
  bool onlyForHdd;  // considered by Auto on spinning disks only
};

std::vector<Candidate> Candidates(PassThroughKind kind, FirmwareMode mode, bool windows) {
  std::vector<Candidate> list;
  const auto add = [&list](M method, bool onlyForHdd = false) {
    list.push_back({method, onlyForHdd});
  };
  const bool automatic = mode == FirmwareMode::Auto;
  if (kind == PassThroughKind::Nvme) {
    if (automatic || mode == FirmwareMode::Crypto) add(M::NvmeSanitizeCrypto);
    if (automatic || mode == FirmwareMode::Block) add(M::NvmeSanitizeBlock);
    if (automatic || mode == FirmwareMode::Overwrite) add(M::NvmeSanitizeOverwrite, automatic);
    if (automatic || mode == FirmwareMode::Crypto || mode == FirmwareMode::Format) {
      add(M::NvmeFormatCrypto);
    }
    if (automatic || mode == FirmwareMode::Format) add(M::NvmeFormatUserData);
    if (windows) {
      if (automatic || mode == FirmwareMode::Crypto) add(M::WindowsReinitializeCrypto);
      if (automatic || mode == FirmwareMode::Block) add(M::WindowsReinitializeBlock);
      if (automatic || mode == FirmwareMode::Format) add(M::WindowsReinitialize);
    }
  } else if (kind == PassThroughKind::Ata || kind == PassThroughKind::Scsi) {
    // ATA first: a SCSI device that answered IDENTIFY DEVICE is an ATA drive behind SAT.
    if (automatic || mode == FirmwareMode::Crypto) add(M::AtaSanitizeCrypto);
    if (automatic || mode == FirmwareMode::Block) add(M::AtaSanitizeBlock);
    if (automatic || mode == FirmwareMode::Overwrite) add(M::AtaSanitizeOverwrite, automatic);
    if (automatic || mode == FirmwareMode::Format) {
      add(M::AtaSecurityEraseEnhanced);
      add(M::AtaSecurityErase);
    }
    if (automatic || mode == FirmwareMode::Crypto) add(M::ScsiSanitizeCrypto);
    if (automatic || mode == FirmwareMode::Block) add(M::ScsiSanitizeBlock);
    if (automatic || mode == FirmwareMode::Overwrite) add(M::ScsiSanitizeOverwrite, automatic);
    if (mode == FirmwareMode::Format) add(M::ScsiFormatUnit);
  }
  return list;
}

std::wstring NamespaceList(const std::vector<uint32_t>& ids) {
  std::wstring text;
  for (uint32_t id : ids)
    text += (text.empty() ? L"" : L", ") + std::to_wstring(id);
  return text;
}

uint32_t TargetNamespace(const FirmwareCapabilities& caps) {
  return caps.namespaceId;
}

// Why an action on every namespace of the controller may not run; empty when this disk's
// namespace is the controller's only one.
std::wstring ControllerScopeRefusal(const FirmwareCapabilities& caps) {
  const uint32_t target = TargetNamespace(caps);
  if (target == 0)
    return L"it acts on the whole controller, and the namespace of this disk is unknown";
  if (!caps.activeNamespaces.empty()) {
    std::vector<uint32_t> others;
    for (uint32_t id : caps.activeNamespaces)
      if (id != target) others.push_back(id);
    if (others.empty()) return {};
    return L"it acts on the whole controller, and namespace" +
           std::wstring(others.size() > 1 ? L"s " : L" ") + NamespaceList(others) +
           L" of the same controller " + (others.size() > 1 ? L"are" : L"is") +
           L" not the chosen target";
  }
  if (caps.nvmeController->namespaceCount > 1) {
    return FormatPrintfW(
        "it acts on the whole controller, which supports %u namespaces that "
        "could not be listed",
        caps.nvmeController->namespaceCount);
  }
  return {};
}

bool FormatIsControllerWide(const NvmeControllerFacts& c) {
  return c.FormatAppliesToAll() || c.SecureEraseAppliesToAll();
}

std::wstring NvmeReason(const FirmwareCapabilities& caps, M method) {
  const NvmeControllerFacts& c = *caps.nvmeController;
  const PlatformRules& p = caps.platform;
  const bool sanitize = method == M::NvmeSanitizeCrypto || method == M::NvmeSanitizeBlock ||
                        method == M::NvmeSanitizeOverwrite;
  const bool format = method == M::NvmeFormatCrypto || method == M::NvmeFormatUserData;
  // The scope is a safety rule of its own: a controller-wide erase with another namespace on
  // the controller is refused before anything else is asked.
  const bool wide = sanitize || method == M::WindowsReinitializeCrypto ||
                    method == M::WindowsReinitializeBlock || FormatIsControllerWide(c);
  if (std::wstring scope = wide ? ControllerScopeRefusal(caps) : L""; !scope.empty()) {
    return scope;
  }
  if ((method == M::NvmeSanitizeCrypto && !c.SanitizeCrypto()) ||
      (method == M::NvmeSanitizeBlock && !c.SanitizeBlock()) ||
      (method == M::NvmeSanitizeOverwrite && !c.SanitizeOverwrite())) {
    return FormatPrintfW("not supported by the controller (SANICAP %08Xh)", c.sanicap);
  }
  if (format && !c.FormatSupported()) {
    return FormatPrintfW("not supported by the controller (OACS %04Xh)", c.oacs);
  }
  if (method == M::NvmeFormatCrypto && !c.FormatCryptoSupported()) {
    return FormatPrintfW("the controller has no cryptographic erase (FNA %02Xh)", c.fna);
  }
  if (format && !caps.nvmeNamespace) {
    return L"Identify Namespace did not answer, so the namespace's format cannot be kept";
  }
  const bool reinitialize = !sanitize && !format;
  if (p.windows) {
    if (sanitize && !p.winpe && p.windowsBuild < kWindows11Build) {
      return L"Windows passes NVMe Sanitize on only in WinPE or Windows 11";
    }
    if (format && !p.winpe) return L"Windows passes Format NVM on only in WinPE";
    if (reinitialize && p.windowsBuild < kWindows10Build1607) {
      return L"IOCTL_STORAGE_REINITIALIZE_MEDIA needs Windows 10 1607 or later";
    }
    if (method == M::WindowsReinitializeCrypto || method == M::WindowsReinitializeBlock) {
      if (p.windowsBuild < kWindowsServer2022Build) {
        return L"a sanitize option of IOCTL_STORAGE_REINITIALIZE_MEDIA needs Windows 11 or Server 2022";
      }
      if (method == M::WindowsReinitializeCrypto ? !c.SanitizeCrypto() : !c.SanitizeBlock()) {
        return FormatPrintfW("not supported by the controller (SANICAP %08Xh)", c.sanicap);
      }
    }
  }
  if (!wide && TargetNamespace(caps) == 0) return L"the namespace of this disk is unknown";
  return {};
}

std::wstring AtaReason(const FirmwareCapabilities& caps, M method, bool& frozen) {
  const AtaIdentifyFacts& id = *caps.ata;
  if ((method == M::AtaSanitizeCrypto && !id.sanitizeCrypto) ||
      (method == M::AtaSanitizeBlock && !id.sanitizeBlock) ||
      (method == M::AtaSanitizeOverwrite && !id.sanitizeOverwrite)) {
    return id.sanitizeSupported ? L"not supported by the drive (IDENTIFY word 59)"
                                : L"the drive has no SANITIZE feature set (IDENTIFY word 59)";
  }
  if (method != M::AtaSecurityErase && method != M::AtaSecurityEraseEnhanced) return {};
  const AtaSecurityState& s = id.security;
  if (!s.supported) return L"the drive has no Security feature set (IDENTIFY words 82, 128)";
  if (method == M::AtaSecurityEraseEnhanced && !s.enhancedEraseSupported) {
    return L"the drive has no enhanced erase (IDENTIFY word 128)";
  }
  if (caps.platform.windows && !caps.platform.winpe) {
    return L"Windows passes ATA security commands on only in WinPE";
  }
  if (s.frozen) {
    frozen = true;
    return L"frozen: the computer's firmware froze the drive's security at start-up; suspend "
           L"and resume the computer, or unplug and reconnect the drive, then run again";
  }
  if (s.countExpired) {
    return L"the drive's password attempt counter is exhausted; power the drive off and on";
  }
  if (s.locked) return L"locked: a password someone else set protects the drive";
  if (s.enabled) return L"a security password is already set on the drive";
  return {};
}

std::wstring ScsiReason(const FirmwareCapabilities& caps, M method) {
  if (method == M::ScsiFormatUnit) {
    return caps.scsiDirectAccess ? L"" : L"the device is not a direct-access block device";
  }
  const CommandSupport support = method == M::ScsiSanitizeCrypto  ? caps.scsiCrypto
                                 : method == M::ScsiSanitizeBlock ? caps.scsiBlock
                                                                  : caps.scsiOverwrite;
  if (support == CommandSupport::Supported) return {};
  if (support == CommandSupport::NotSupported) return L"the drive reports it as not supported";
  return L"the drive does not report its support (REPORT SUPPORTED OPERATION CODES: " +
         (caps.scsiReportAnswer.empty() ? std::wstring(L"no answer") : caps.scsiReportAnswer) +
         L")";
}

bool IsAtaMethod(M method) {
  return method >= M::AtaSanitizeCrypto && method <= M::AtaSecurityErase;
}

bool IsScsiMethod(M method) {
  return method >= M::ScsiSanitizeCrypto && method <= M::ScsiFormatUnit;
}

// Why `method` cannot run on this drive; empty when it can.
std::wstring ReasonAgainst(const FirmwareCapabilities& caps, M method, bool& frozen) {
  if (caps.nvmeController) return NvmeReason(caps, method);
  if (IsAtaMethod(method)) {
    return caps.ata ? AtaReason(caps, method, frozen) : L"the drive does not answer ATA commands";
  }
  if (IsScsiMethod(method)) {
    return caps.ata || !caps.unavailable.empty() ? L"not a SCSI drive" : ScsiReason(caps, method);
  }
  return L"not available for this drive";
}

}  // namespace

SanitizeChoice ChooseSanitizeMethod(const FirmwareCapabilities& caps, FirmwareMode mode,
                                    bool hddLike) {
  SanitizeChoice choice;
  if (mode == FirmwareMode::Off) {
    choice.reason = L"not asked for";
    return choice;
  }
  if (!caps.checked) {
    choice.reason = L"the drive's capabilities were not checked";
    return choice;
  }
  if (caps.kind == PassThroughKind::None ||
      (caps.kind == PassThroughKind::Nvme && !caps.nvmeController)) {
    choice.reason = L"no firmware commands: " + caps.unavailable;
    return choice;
  }
  std::vector<std::wstring> reasons;
  for (const Candidate& candidate : Candidates(caps.kind, mode, caps.platform.windows)) {
    if (candidate.onlyForHdd && !hddLike) continue;
    // A SCSI method on an ATA drive (or the reverse) is no candidate at all.
    if ((IsAtaMethod(candidate.method) && !caps.ata) ||
        (IsScsiMethod(candidate.method) && caps.ata)) {
      continue;
    }
    bool frozen = false;
    const std::wstring reason = ReasonAgainst(caps, candidate.method, frozen);
    if (reason.empty()) {
      choice.method = candidate.method;
      return choice;
    }
    const std::wstring line = FirmwareMethodName(candidate.method) + L": " + reason;
    if (std::find(reasons.begin(), reasons.end(), line) != reasons.end()) continue;
    // A frozen drive is what the operator can act on: it is said first.
    reasons.insert(frozen && !choice.frozen ? reasons.begin() : reasons.end(), line);
    choice.frozen = choice.frozen || frozen;
  }
  for (const std::wstring& line : reasons)
    choice.reason += (choice.reason.empty() ? L"" : L"; ") + line;
  if (choice.reason.empty()) choice.reason = L"no firmware erase of this kind for this drive";
  return choice;
}

std::vector<FirmwareMethod> AvailableMethods(const FirmwareCapabilities& caps) {
  std::vector<FirmwareMethod> methods;
  // Every explicit choice, so that the drive's own overwrite is listed on flash media too.
  for (int32_t mode = 2; mode < kFirmwareModeCount; ++mode) {
    for (const Candidate& candidate :
         Candidates(caps.kind, static_cast<FirmwareMode>(mode), caps.platform.windows)) {
      bool frozen = false;
      if (!caps.checked || (IsAtaMethod(candidate.method) && !caps.ata) ||
          (IsScsiMethod(candidate.method) && caps.ata) ||
          (caps.kind == PassThroughKind::Nvme && !caps.nvmeController) ||
          std::find(methods.begin(), methods.end(), candidate.method) != methods.end()) {
        continue;
      }
      if (ReasonAgainst(caps, candidate.method, frozen).empty())
        methods.push_back(candidate.method);
    }
  }
  return methods;
}

std::wstring FirmwareMethodName(FirmwareMethod method) {
  switch (method) {
    case M::NvmeSanitizeCrypto:
      return L"NVMe Sanitize Crypto Erase";
    case M::NvmeSanitizeBlock:
      return L"NVMe Sanitize Block Erase";
    case M::NvmeSanitizeOverwrite:
      return L"NVMe Sanitize Overwrite";
    case M::NvmeFormatCrypto:
      return L"NVMe Format NVM (SES=2 Cryptographic Erase)";
    case M::NvmeFormatUserData:
      return L"NVMe Format NVM (SES=1 User Data Erase)";
    case M::AtaSanitizeCrypto:
      return L"ATA SANITIZE CRYPTO SCRAMBLE EXT";
    case M::AtaSanitizeBlock:
      return L"ATA SANITIZE BLOCK ERASE EXT";
    case M::AtaSanitizeOverwrite:
      return L"ATA SANITIZE OVERWRITE EXT";
    case M::AtaSecurityEraseEnhanced:
      return L"ATA SECURITY ERASE UNIT (enhanced)";
    case M::AtaSecurityErase:
      return L"ATA SECURITY ERASE UNIT (normal)";
    case M::ScsiSanitizeCrypto:
      return L"SCSI SANITIZE Cryptographic Erase";
    case M::ScsiSanitizeBlock:
      return L"SCSI SANITIZE Block Erase";
    case M::ScsiSanitizeOverwrite:
      return L"SCSI SANITIZE Overwrite";
    case M::ScsiFormatUnit:
      return L"SCSI FORMAT UNIT";
    case M::WindowsReinitialize:
      return L"Windows storage reinitialize (driver's method)";
    case M::WindowsReinitializeCrypto:
      return L"Windows storage reinitialize (sanitize crypto erase)";
    case M::WindowsReinitializeBlock:
      return L"Windows storage reinitialize (sanitize block erase)";
    default:
      return L"none";
  }
}

const char* FirmwareMethodId(FirmwareMethod method) {
  static constexpr const char* kIds[] = {"none",
                                         "nvme-sanitize-crypto",
                                         "nvme-sanitize-block",
                                         "nvme-sanitize-overwrite",
                                         "nvme-format-crypto",
                                         "nvme-format-user-data",
                                         "ata-sanitize-crypto",
                                         "ata-sanitize-block",
                                         "ata-sanitize-overwrite",
                                         "ata-security-erase-enhanced",
                                         "ata-security-erase",
                                         "scsi-sanitize-crypto",
                                         "scsi-sanitize-block",
                                         "scsi-sanitize-overwrite",
                                         "scsi-format-unit",
                                         "windows-reinitialize",
                                         "windows-reinitialize-crypto",
                                         "windows-reinitialize-block"};
  const auto index = static_cast<size_t>(method);
  return index < std::size(kIds) ? kIds[index] : "none";
}

bool MethodIsPurge(FirmwareMethod method) {
  return method != M::None && method != M::ScsiFormatUnit;
}

}  // namespace tvde
