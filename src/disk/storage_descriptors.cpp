// Parsing of storage descriptor, device number, geometry, length, attribute, seek-penalty and
// volume-extent answers.
#include "disk/storage_descriptors.h"

#include <cctype>

#include "base/byte_order.h"

namespace tvde {
namespace {

std::string StringAt(std::span<const uint8_t> returned, uint32_t offset) {
  if (offset == 0 || offset >= returned.size()) return {};
  std::string raw;
  for (size_t i = offset; i < returned.size() && returned[i] != 0; ++i)
    raw.push_back(static_cast<char>(returned[i]));
  return TrimAscii(raw.c_str());
}

}  // namespace

std::optional<StorageDeviceFacts> ParseStorageDeviceDescriptor(std::span<const uint8_t> returned) {
  if (returned.size() < kDescriptorMinimumBytes) return std::nullopt;
  StorageDeviceFacts facts;
  facts.removable = returned[kDescriptorRemovableOffset] != 0;
  facts.busType = GetLe32(returned.subspan(kDescriptorBusTypeOffset));
  facts.vendor = StringAt(returned, GetLe32(returned.subspan(kDescriptorVendorOffset)));
  facts.product = StringAt(returned, GetLe32(returned.subspan(kDescriptorProductOffset)));
  facts.revision = StringAt(returned, GetLe32(returned.subspan(kDescriptorRevisionOffset)));
  facts.serial = StringAt(returned, GetLe32(returned.subspan(kDescriptorSerialOffset)));
  return facts;
}

std::optional<DriveGeometryFacts> ParseDriveGeometryEx(std::span<const uint8_t> returned) {
  if (returned.size() < kGeometryMinimumBytes) return std::nullopt;
  DriveGeometryFacts facts;
  facts.diskSize = GetLe64(returned.subspan(kGeometryDiskSizeOffset));
  facts.bytesPerSector =
      EffectiveSectorSize(GetLe32(returned.subspan(kGeometryBytesPerSectorOffset)));
  return facts;
}

std::optional<bool> ParseSeekPenalty(std::span<const uint8_t> returned) {
  if (returned.size() < kSeekPenaltyBytes) return std::nullopt;
  return returned[kSeekPenaltyFlagOffset] != 0;
}

std::optional<int32_t> ParseStorageDeviceNumber(std::span<const uint8_t> returned) {
  if (returned.size() < kDeviceNumberBytes) return std::nullopt;
  return static_cast<int32_t>(GetLe32(returned.subspan(kDeviceNumberOffset)));
}

std::optional<DiskAttributeFacts> ParseDiskAttributes(std::span<const uint8_t> returned) {
  if (returned.size() < kDiskAttributesBytes) return std::nullopt;
  const uint64_t attributes = GetLe64(returned.subspan(kDiskAttributesOffset));
  return DiskAttributeFacts{(attributes & kDiskAttributeOffline) != 0,
                            (attributes & kDiskAttributeReadOnly) != 0};
}

std::vector<int32_t> ParseVolumeDiskExtents(std::span<const uint8_t> returned) {
  std::vector<int32_t> disks;
  if (returned.size() < kExtentsFirstOffset) return disks;
  const uint32_t count = GetLe32(returned);
  const size_t room = (returned.size() - kExtentsFirstOffset) / kExtentBytes;
  for (size_t i = 0; i < count && i < room; ++i) {
    const size_t at = kExtentsFirstOffset + i * kExtentBytes;
    disks.push_back(static_cast<int32_t>(GetLe32(returned.subspan(at))));
  }
  return disks;
}

BusKind BusKindFromStorageBusType(uint32_t busType) {
  switch (busType) {
    case 7:  // BusTypeUsb
      return BusKind::Usb;
    case 3:   // BusTypeAta
    case 11:  // BusTypeSata
      return BusKind::Sata;
    case 17:  // BusTypeNvme
      return BusKind::Nvme;
    case 1:   // BusTypeScsi
    case 6:   // BusTypeFibre
    case 9:   // BusTypeiScsi
    case 10:  // BusTypeSas
      return BusKind::ScsiSas;
    case 12:  // BusTypeSd
      return BusKind::SdCard;
    case 13:  // BusTypeMmc
      return BusKind::Mmc;
    case 8:   // BusTypeRAID
    case 16:  // BusTypeSpaces
      return BusKind::Raid;
    case 14:  // BusTypeVirtual
    case 15:  // BusTypeFileBackedVirtual
      return BusKind::Virtual;
    default:  // ATAPI (2), SSA (5), 1394 (4) and everything newer
      return BusKind::Unknown;
  }
}

MediaKind DetermineMediaKind(BusKind bus, bool removable,
                             const std::function<std::optional<bool>()>& querySeekPenalty) {
  if (bus == BusKind::Nvme) return MediaKind::NvmeSsd;
  if (removable || bus == BusKind::SdCard || bus == BusKind::Mmc) return MediaKind::Removable;
  const std::optional<bool> penalty = querySeekPenalty ? querySeekPenalty() : std::nullopt;
  if (!penalty) return bus == BusKind::Usb ? MediaKind::Removable : MediaKind::Hdd;
  return *penalty ? MediaKind::Hdd : MediaKind::Ssd;
}

std::string TrimAscii(const char* text) {
  if (text == nullptr) return {};
  std::string_view view(text);
  const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!view.empty() && isSpace(view.front()))
    view.remove_prefix(1);
  while (!view.empty() && isSpace(view.back()))
    view.remove_suffix(1);
  return std::string(view);
}

std::string ComposeModel(const std::string& vendor, const std::string& product) {
  return vendor.empty() ? product : vendor + " " + product;
}

}  // namespace tvde
