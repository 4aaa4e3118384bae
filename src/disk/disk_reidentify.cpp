// The open disk compared with the list's record, fact by fact, and classified again.
#include "disk/disk_reidentify.h"

#include <vector>

#include "disk/disk_classification.h"
#include "disk/disk_inventory.h"
#include "disk/storage_descriptors.h"

namespace tvde {
namespace {

std::wstring Was(const std::wstring& fact, const std::wstring& listed, const std::wstring& now) {
  return fact + L": 一覧 " + listed + L" / 現在 " + now;
}

void Add(std::wstring& out, const std::wstring& text) {
  if (!out.empty()) out += L"、";
  out += text;
}

std::optional<size_t> Ask(DiskQueryHandle& opened, DiskQuery query, std::vector<uint8_t>& buffer) {
  const auto bytes = opened.Query(query, buffer);
  if (bytes && *bytes < buffer.size()) buffer.resize(*bytes);
  return bytes;
}

}  // namespace

int32_t ListEnvironmentMode(const DiskInfo& saved) {
  return saved.safetyReason == kReasonWinPE ? 1 : 0;
}

int32_t ListUnlockInternal(const DiskInfo& saved) {
  return saved.safetyStatus == SafetyStatus::ErasableSecondary ? 1 : 0;
}

DiskIdentityCheck ReidentifyOpenedDisk(DiskSystemQueries& system, DiskQueryHandle& opened,
                                       const DiskInfo& saved) {
  std::wstring difference;

  std::vector<uint8_t> attributes(kDiskAttributesBytes, 0);
  if (Ask(opened, DiskQuery::DiskAttributes, attributes)) {
    if (const auto facts = ParseDiskAttributes(attributes)) {
      if (facts->offline) Add(difference, L"ディスクがオフラインです");
      if (facts->readOnly) Add(difference, L"ディスクが読み取り専用です");
    }
  }

  const std::optional<int32_t> number = QueryDeviceNumber(opened);
  if (!number) {
    Add(difference, L"ディスク番号を取得できません");
  } else if (*number != saved.diskNumber) {
    Add(difference,
        Was(L"ディスク番号", std::to_wstring(saved.diskNumber), std::to_wstring(*number)));
  }

  // Without its descriptor a disk would be given the same placeholder model and serial as any
  // other disk that does not answer: nothing would be compared.
  if (!ReadDeviceDescriptor(opened)) Add(difference, L"デバイス記述子を取得できません");
  DiskInfo current = ReadDiskFacts(system, opened, number.value_or(saved.diskNumber));
  if (current.model != saved.model) Add(difference, Was(L"モデル", saved.model, current.model));
  if (current.serialNumber != saved.serialNumber)
    Add(difference, Was(L"シリアル番号", saved.serialNumber, current.serialNumber));
  if (current.busType != saved.busType)
    Add(difference, Was(L"接続", BusTypeLabel(saved.busType), BusTypeLabel(current.busType)));
  if (current.mediaType != saved.mediaType)
    Add(difference,
        Was(L"種別", MediaTypeLabel(saved.mediaType), MediaTypeLabel(current.mediaType)));
  // The passes and the stamp layout are cut to the saved sector size.
  if (current.bytesPerSector != saved.bytesPerSector)
    Add(difference, Was(L"セクタサイズ", std::to_wstring(saved.bytesPerSector),
                        std::to_wstring(current.bytesPerSector)));

  // The size as the list read it, from the geometry: a handle opened for queries only cannot
  // ask for the length, which needs read access.
  if (current.sizeBytes == 0) {
    Add(difference, L"容量を取得できません");
  } else if (current.sizeBytes != saved.sizeBytes) {
    Add(difference, Was(L"容量 (バイト)", std::to_wstring(saved.sizeBytes),
                        std::to_wstring(current.sizeBytes)));
  }

  // The rules again, on what the open disk is now: its letters and the running system's disks.
  std::vector<DiskInfo> listed{current};
  AssignDriveLettersWith(system, listed);
  const ClassificationContext context =
      ReadClassificationContext(system, ListEnvironmentMode(saved), ListUnlockInternal(saved));
  ClassifyDisk(listed.front(), context);
  const DiskInfo& classified = listed.front();
  if (classified.safetyStatus != saved.safetyStatus || !AllowsWrite(classified.safetyStatus)) {
    Add(difference,
        Was(L"安全分類", SafetyStatusLabel(saved.safetyStatus),
            SafetyStatusLabel(classified.safetyStatus) + L" (" + classified.safetyReason + L")"));
  }
  return {difference.empty(), difference};
}

}  // namespace tvde
