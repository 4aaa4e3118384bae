// Detection of a stamp: reads LBA 1 and splits the StampRecord into the payload fields.
#include "stamp/stamp_detect.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "base/device.h"
#include "base/page_buffer.h"
#include "base/product.h"
#include "base/text.h"
#include "disk/disk_info.h"
#include "hardware/hardware_fields.h"
#include "stamp/stamp_texts.h"

namespace tvde {
namespace {

constexpr size_t kRecordStart = 512;
constexpr size_t kMinimumFields = 12;
constexpr size_t kFieldsWithHardware = 12 + kHardwareFieldCount;  // 28

// The writer cuts the record at a byte count, possibly inside a multi-byte character; drop that
// partial character so the cut field keeps its readable part instead of failing to decode.
std::string_view WithoutPartialTail(std::string_view text) {
  size_t lead = text.size();
  size_t continuation = 0;
  while (lead > 0 && continuation < 3 && (static_cast<uint8_t>(text[lead - 1]) & 0xC0) == 0x80) {
    --lead;
    ++continuation;
  }
  if (lead == 0) return text;
  const auto first = static_cast<uint8_t>(text[lead - 1]);
  size_t expected = 0;
  if ((first & 0xE0) == 0xC0) {
    expected = 1;
  } else if ((first & 0xF0) == 0xE0) {
    expected = 2;
  } else if ((first & 0xF8) == 0xF0) {
    expected = 3;
  }
  if (expected > continuation) return text.substr(0, lead - 1);
  return text;
}

std::vector<std::string_view> SplitFields(std::string_view text) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (start < text.size()) {
    const size_t bar = text.find('|', start);
    if (bar == std::string_view::npos) {
      fields.push_back(text.substr(start));
      return fields;
    }
    fields.push_back(text.substr(start, bar - start));
    start = bar + 1;
  }
  return fields;  // a separator at the very end starts no further field
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// What the report dialog starts from when the disk holds no stamp.
StampPayload PrefilledPayload(const DiskInfo& disk, const HardwareProfile& localProfile) {
  StampPayload payload;
  payload.softwareVersion = std::wstring(kProductName) + L" Suite v" + kProductVersion;
  payload.diskModel = disk.model;
  payload.diskSerial = disk.serialNumber;
  payload.diskCapacity = FormatSize(disk.sizeBytes);
  payload.hardware = localProfile;
  return payload;
}

}  // namespace

size_t DetectReadLength(uint32_t bytesPerSector) {
  const size_t sector = std::max<size_t>(512, bytesPerSector);
  return (kDetectReadBytes + sector - 1) / sector * sector;
}

int32_t ParseCDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(value * 10 + (text[i] - '0'), kLimit);
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(std::min<int64_t>(value, kLimit - 1));
}

bool ApplyStampRecord(std::string_view text, StampPayload& payload) {
  const bool tagged = StartsWith(text, std::string(kStampRecordTagV2) + "|") ||
                      StartsWith(text, std::string(kStampRecordTagV1) + "|");
  if (!tagged) return false;
  const std::vector<std::string_view> fields = SplitFields(WithoutPartialTail(text));
  if (fields.size() < kMinimumFields) return false;

  const auto wide = [&fields](size_t i) { return Utf8ToWide(fields[i]); };
  payload.incomplete = 0;
  payload.certificateId = wide(1);
  payload.sanitizationDate = wide(2);
  payload.standardName = wide(3);
  payload.verification = wide(4);
  payload.diskModel = wide(5);
  payload.diskSerial = wide(6);
  payload.diskCapacity = wide(7);
  payload.operatorName = wide(8);
  payload.organizationName = wide(9);
  payload.sha256Fingerprint = wide(10);
  payload.passesCompleted = ParseCDecimal(fields[11]);
  payload.stampState = kStampStateActive;
  if (fields.size() >= kFieldsWithHardware) {
    for (size_t i = 0; i < kHardwareFieldCount; ++i) {
      payload.hardware.*kHardwareFields[i].member = wide(kMinimumFields + i);
    }
  }
  return true;
}

bool ReadStampRecord(Device& device, uint32_t bytesPerSector, StampPayload& payload) {
  PageBuffer buffer = PageBuffer::Allocate(DetectReadLength(bytesPerSector));
  if (!buffer.valid() || !device.Seek(0)) return false;
  const IoResult read = device.Read(buffer.span());
  if (!read.ok || read.bytes < kDetectMinimumRead) return false;

  // Only bytes that were actually read count, and the last byte of the buffer never does.
  const size_t end = std::min(read.bytes, buffer.size() - 1);
  const auto* begin = reinterpret_cast<const char*>(buffer.data()) + kRecordStart;
  std::string_view text(begin, end - kRecordStart);
  text = text.substr(0, text.find('\0'));
  return ApplyStampRecord(text, payload);
}

StampPayload DetectDiskStamp(Device& device, const DiskInfo& disk,
                             const HardwareProfile& localProfile) {
  StampPayload payload = PrefilledPayload(disk, localProfile);
  ReadStampRecord(device, disk.bytesPerSector, payload);
  return payload;
}

StampPayload DetectDiskStamp(const DiskInfo& disk, const HardwareProfile& localProfile) {
  DeviceOpenOptions options;
  options.access = DeviceAccess::ReadOnly;
  options.creation = DeviceCreation::OpenExisting;
  options.buffering = DeviceBuffering::Unbuffered;
  options.sectorSize = std::max<uint32_t>(512, disk.bytesPerSector);
  DeviceOpenResult opened = OpenDevice(TargetDevicePath(disk), options);
  if (opened.device == nullptr) return PrefilledPayload(disk, localProfile);
  return DetectDiskStamp(*opened.device, disk, localProfile);
}

}  // namespace tvde
