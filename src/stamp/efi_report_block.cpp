// Builds the fixed-field report block of the UEFI programs and patches it into their images.
#include "stamp/efi_report_block.h"

#include <algorithm>
#include <string>

#include "base/product.h"
#include "stamp/stamp_texts.h"

namespace tvde {
namespace {

void PutRow(EfiReportBlock& block, size_t offset, std::string_view label,
            const std::wstring& value) {
  std::span<uint8_t> row(block.data() + offset, kEfiRowStride);
  CopyFixedField(row.first(kEfiLabelWidth), label);
  CopyFixedField(row.subspan(kEfiLabelWidth, kEfiValueWidth), ToPrintableAscii(value));
}

std::wstring SoftwareVersionValue(const StampPayload& payload) {
  if (!payload.softwareVersion.empty()) return payload.softwareVersion;
  return std::wstring(kProductName) + L" v" + kProductVersion;
}

}  // namespace

EfiReportBlock BuildEfiReportBlock(const StampPayload& payload) {
  EfiReportBlock block{};
  const std::span<uint8_t> all(block);
  CopyFixedField(all.subspan(kEfiMagicOffset, kEfiMagicWidth), kEfiMagic);
  CopyFixedField(all.subspan(kEfiTitleOffset, kEfiTitleWidth), kEfiTitle);
  CopyFixedField(all.subspan(kEfiStatusOffset, kEfiStatusWidth), StampStatusText(payload));

  const std::wstring passes = std::to_wstring(payload.passesCompleted);
  // The value field holds the outcome's first words only: "ACCEPTED", "NOT PERFORMED".
  const std::wstring trim =
      payload.trimNotice.empty()
          ? std::wstring()
          : L" / TRIM: " + payload.trimNotice.substr(0, payload.trimNotice.find(L" ("));
  const std::wstring reportValues[kEfiReportRowCount] = {
      payload.certificateId,         payload.sanitizationDate,
      SoftwareVersionValue(payload), payload.standardName + L" (" + passes + L" Passes)" + trim,
      payload.verification,          payload.operatorName + L" / " + payload.organizationName,
      payload.sha256Fingerprint,
  };
  for (size_t i = 0; i < kEfiReportRowCount; ++i) {
    PutRow(block, EfiReportRowOffset(i), kEfiReportLabels[i], reportValues[i]);
  }

  const HardwareProfile& hw = payload.hardware;
  const std::wstring hardwareValues[kEfiHardwareRowCount] = {
      hw.manufacturer,    hw.chassisType,  hw.model,
      hw.serial,          hw.uuid,         hw.assetTag,
      hw.processor,       hw.totalMemory,  hw.disk,
      hw.diskGeometry,    hw.graphicsCard, hw.soundCards,
      hw.networkAdapters, hw.motherboard,  hw.biosInformation + L" | " + hw.storageController,
  };
  for (size_t i = 0; i < kEfiHardwareRowCount; ++i) {
    PutRow(block, EfiHardwareRowOffset(i), kEfiHardwareLabels[i], hardwareValues[i]);
  }
  return block;
}

std::string ReadFixedField(std::span<const uint8_t> block, size_t offset, size_t width) {
  if (offset >= block.size()) return {};
  const auto field = block.subspan(offset, std::min(width, block.size() - offset));
  const auto end = std::find(field.begin(), field.end(), uint8_t{0});
  return std::string(field.begin(), end);
}

std::string EfiReportValue(const EfiReportBlock& block, size_t row) {
  return ReadFixedField(block, EfiReportRowOffset(row) + kEfiLabelWidth, kEfiValueWidth);
}

std::string EfiHardwareValue(const EfiReportBlock& block, size_t row) {
  return ReadFixedField(block, EfiHardwareRowOffset(row) + kEfiLabelWidth, kEfiValueWidth);
}

bool PatchEfiImage(std::span<uint8_t> image, const EfiReportBlock& block) {
  if (image.size() < block.size()) return false;
  const size_t lastStart = image.size() - block.size();
  for (size_t offset = 0; offset <= lastStart; ++offset) {
    if (std::equal(kEfiMagic.begin(), kEfiMagic.end(), image.begin() + offset)) {
      std::copy(block.begin(), block.end(), image.begin() + offset);
      return true;
    }
  }
  return false;
}

}  // namespace tvde
