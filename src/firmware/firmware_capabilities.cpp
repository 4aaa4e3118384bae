// Capability discovery: identify-type questions to NVMe, ATA and SCSI drives, and the words a
// list shows for what was found.
#include "firmware/firmware_capabilities.h"

#include <array>

#include "base/text.h"

namespace tvde {
namespace {

std::wstring NvmeFailure(const wchar_t* what, const NvmeAnswer& answer) {
  return std::wstring(what) + L": " +
         (answer.outcome == TransportOutcome::Answered
              ? DescribeNvmeStatus(answer.status)
              : DescribeTransportFailure(answer.outcome, answer.osError));
}

std::wstring AtaFailure(const wchar_t* what, const AtaAnswer& answer) {
  if (answer.outcome != TransportOutcome::Answered) {
    return std::wstring(what) + L": " + DescribeTransportFailure(answer.outcome, answer.osError);
  }
  return std::wstring(what) + L": " +
         (answer.registers ? DescribeAtaRegisters(*answer.registers) : DescribeSense(answer.sense));
}

void DiscoverNvme(FirmwareTransport& transport, FirmwareCapabilities& caps) {
  std::vector<uint8_t> data(kNvmeIdentifyBytes, 0);
  const NvmeAnswer controller = transport.Nvme(NvmeIdentifyController(), data);
  if (!controller.Ok() || !(caps.nvmeController = ParseNvmeIdentifyController(data))) {
    caps.unavailable = NvmeFailure(L"Identify Controller", controller);
    return;
  }
  std::fill(data.begin(), data.end(), 0);
  if (transport.Nvme(NvmeActiveNamespaceList(), data).Ok()) {
    caps.activeNamespaces = ParseNvmeNamespaceList(data);
  }
  // The system names the namespace of this handle (Linux); otherwise it is the controller's
  // only one (Windows gives a disk per namespace but does not say which).
  caps.namespaceId = transport.NamespaceId().value_or(0);
  if (caps.namespaceId == 0 && caps.activeNamespaces.size() == 1) {
    caps.namespaceId = caps.activeNamespaces[0];
  } else if (caps.namespaceId == 0 && caps.activeNamespaces.empty() &&
             caps.nvmeController->namespaceCount == 1) {
    caps.namespaceId = 1;
  }
  if (caps.namespaceId != 0) {
    std::fill(data.begin(), data.end(), 0);
    if (transport.Nvme(NvmeIdentifyNamespace(caps.namespaceId), data).Ok()) {
      caps.nvmeNamespace = ParseNvmeIdentifyNamespace(data);
    }
  }
}

// The native maximum as READ NATIVE MAX ADDRESS (EXT), or with the Accessible Max Address
// feature GET NATIVE MAX ADDRESS EXT, gives it; and the DCO maximum.
void DiscoverHiddenArea(FirmwareTransport& transport, const AtaIdentifyFacts& id,
                        HiddenAreaFacts& hidden) {
  hidden.reportedSectors = id.userSectors;
  // Asked even where IDENTIFY names no HPA feature set: a drive that answers tells its native
  // size all the same, and one that does not can have no limit set.
  const AtaCommand ask =
      id.amaSupported ? AtaGetNativeMaxAddressExt() : AtaReadNativeMaxAddress(id.lba48);
  const AtaAnswer answer = transport.Ata(ask, {});
  if (answer.Ok(ask)) {
    hidden.checked = true;
    hidden.accessibleMax = id.amaSupported;
    hidden.nativeSectors = answer.registers->lba + 1;
  } else if (!id.hpaSupported && !id.amaSupported) {
    hidden.checked = true;
    hidden.nativeSectors = id.userSectors;
  } else {
    hidden.note = AtaFailure(
        id.amaSupported ? L"GET NATIVE MAX ADDRESS EXT" : L"READ NATIVE MAX ADDRESS", answer);
  }
  if (id.dcoSupported) {
    std::array<uint8_t, kAtaBlockBytes> block{};
    const AtaCommand dco = AtaDcoIdentify();
    if (transport.Ata(dco, block).Ok(dco)) {
      if (const auto max = ParseDcoMaxLba(block); max && *max != 0) hidden.dcoSectors = *max + 1;
    }
  }
}

void DiscoverScsi(FirmwareTransport& transport, FirmwareCapabilities& caps) {
  std::array<uint8_t, 96> inquiry{};
  if (transport.Scsi(ScsiInquiry(), inquiry).Ok()) {
    caps.scsiDirectAccess = ParsePeripheralType(inquiry) == uint8_t{0};
  }
  const std::pair<ScsiSanitizeAction, CommandSupport*> actions[] = {
      {ScsiSanitizeAction::CryptoErase, &caps.scsiCrypto},
      {ScsiSanitizeAction::BlockErase, &caps.scsiBlock},
      {ScsiSanitizeAction::Overwrite, &caps.scsiOverwrite}};
  for (const auto& [action, support] : actions) {
    std::array<uint8_t, 32> answer{};
    const ScsiAnswer asked =
        transport.Scsi(ScsiReportOperation(kScsiSanitize, static_cast<uint16_t>(action)), answer);
    if (!asked.Ok()) {
      caps.scsiReportAnswer = asked.outcome == TransportOutcome::Answered
                                  ? DescribeSense(ParseSense(asked.sense))
                                  : DescribeTransportFailure(asked.outcome, asked.osError);
      return;  // the drive does not report its commands: every action stays unknown
    }
    *support = ParseOperationSupport(answer);
  }
}

std::wstring Join(const std::vector<std::wstring>& parts, const wchar_t* separator) {
  std::wstring text;
  for (const std::wstring& part : parts)
    text += (text.empty() ? L"" : separator) + part;
  return text;
}

std::wstring NvmeSummary(const FirmwareCapabilities& caps) {
  const NvmeControllerFacts& c = *caps.nvmeController;
  std::vector<std::wstring> sanitize;
  if (c.SanitizeCrypto()) sanitize.push_back(L"crypto erase");
  if (c.SanitizeBlock()) sanitize.push_back(L"block erase");
  if (c.SanitizeOverwrite()) sanitize.push_back(L"overwrite");
  std::wstring text = L"NVMe: Sanitize " +
                      (sanitize.empty() ? L"not supported" : Join(sanitize, L"/")) +
                      FormatPrintfW(" (SANICAP %08Xh); Format NVM ", c.sanicap);
  text += c.FormatSupported()
              ? (c.FormatCryptoSupported() ? L"with crypto erase" : L"user data erase")
              : L"not supported";
  text += FormatPrintfW(" (FNA %02Xh, ", c.fna) +
          (c.FormatAppliesToAll() || c.SecureEraseAppliesToAll() ? L"whole controller)"
                                                                 : L"per namespace)");
  text += caps.namespaceId != 0 ? FormatPrintfW("; namespace %u", caps.namespaceId)
                                : std::wstring(L"; namespace unknown");
  if (!caps.activeNamespaces.empty()) {
    text += FormatPrintfW(" of %u active", static_cast<unsigned>(caps.activeNamespaces.size()));
  }
  return text;
}

std::wstring AtaSummary(const AtaIdentifyFacts& id) {
  std::vector<std::wstring> sanitize;
  if (id.sanitizeCrypto) sanitize.push_back(L"crypto scramble");
  if (id.sanitizeBlock) sanitize.push_back(L"block erase");
  if (id.sanitizeOverwrite) sanitize.push_back(L"overwrite");
  std::wstring text =
      L"ATA: SANITIZE " + (id.sanitizeSupported ? Join(sanitize, L"/") : L"not supported");
  const AtaSecurityState& s = id.security;
  if (!s.supported) return text + L"; Security not supported";
  text += s.enhancedEraseSupported ? L"; Security erase (enhanced)" : L"; Security erase";
  std::vector<std::wstring> states;
  if (s.frozen) states.push_back(L"frozen");
  if (s.locked) states.push_back(L"locked");
  if (s.enabled) states.push_back(L"password set");
  if (s.countExpired) states.push_back(L"attempts exhausted");
  return text + L" (" + (states.empty() ? L"not frozen" : Join(states, L", ")) + L")";
}

std::wstring ScsiSupportText(CommandSupport support) {
  return support == CommandSupport::Supported      ? L"yes"
         : support == CommandSupport::NotSupported ? L"no"
                                                   : L"unknown";
}

}  // namespace

FirmwareCapabilities DiscoverFirmwareCapabilities(FirmwareTransport& transport) {
  FirmwareCapabilities caps;
  caps.kind = transport.Kind();
  caps.platform = transport.Rules();
  caps.checked = true;
  if (caps.kind == PassThroughKind::None) {
    caps.unavailable = transport.Unavailable();
    return caps;
  }
  if (caps.kind == PassThroughKind::Nvme) {
    DiscoverNvme(transport, caps);
    return caps;
  }
  std::array<uint8_t, kAtaBlockBytes> block{};
  const AtaCommand identify = AtaIdentify();
  const AtaAnswer answer = transport.Ata(identify, block);
  if (answer.Ok(identify)) {
    caps.ata = ParseAtaIdentify(block);
    if (caps.ata && caps.ata->userSectors != 0) {
      DiscoverHiddenArea(transport, *caps.ata, caps.hidden);
      return caps;
    }
    caps.ata.reset();  // no ATA drive answers without a size
  }
  if (caps.kind == PassThroughKind::Ata) {
    caps.unavailable = AtaFailure(L"IDENTIFY DEVICE", answer);
    return caps;
  }
  DiscoverScsi(transport, caps);  // no ATA behind the SCSI device
  return caps;
}

std::wstring CapabilitySummary(const FirmwareCapabilities& caps) {
  if (!caps.checked) return L"not checked";
  if (caps.nvmeController) return NvmeSummary(caps);
  if (caps.ata) return AtaSummary(*caps.ata);
  if (caps.kind == PassThroughKind::Scsi && caps.unavailable.empty()) {
    std::wstring text = L"SCSI: SANITIZE crypto erase " + ScsiSupportText(caps.scsiCrypto) +
                        L", block erase " + ScsiSupportText(caps.scsiBlock) + L", overwrite " +
                        ScsiSupportText(caps.scsiOverwrite);
    if (!caps.scsiReportAnswer.empty()) {
      text += L" (REPORT SUPPORTED OPERATION CODES: " + caps.scsiReportAnswer + L")";
    }
    return text;
  }
  return L"no firmware commands: " + caps.unavailable;
}

std::wstring HiddenAreaSummary(const FirmwareCapabilities& caps) {
  if (!caps.ata) return {};
  const HiddenAreaFacts& h = caps.hidden;
  std::wstring text;
  if (!h.checked) {
    text = L"not checked (" + h.note + L")";
  } else if (h.HiddenSectors() == 0) {
    text = L"none (native max " + std::to_wstring(h.nativeSectors) + L" sectors = reported)";
  } else {
    text = std::wstring(h.accessibleMax ? L"AMA: " : L"HPA: ") +
           std::to_wstring(h.HiddenSectors()) + L" sectors hidden (reported " +
           std::to_wstring(h.reportedSectors) + L", native " + std::to_wstring(h.nativeSectors) +
           L")";
  }
  if (h.DcoHiddenSectors() != 0) {
    text += L"; DCO restriction: " + std::to_wstring(h.DcoHiddenSectors()) + L" sectors";
  }
  return text;
}

}  // namespace tvde
