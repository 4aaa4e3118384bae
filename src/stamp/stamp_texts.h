#pragma once
// The small text rules of the stamp: state label, printable-ASCII filtering, fixed-width fields,
// 78-column screen lines, the machine-readable StampRecord and the MBR fallback message.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "erase/erase_job.h"
#include "stamp/stamp_payload.h"

namespace tvde {

inline constexpr std::string_view kStampRecordTagV2 = "TVDE_STAMP_V2";
inline constexpr std::string_view kStampRecordTagV1 = "TVDE_STAMP_V1";
inline constexpr std::string_view kStampRecordEnd = "END";
inline constexpr size_t kStampRecordFieldCount = 29;  // tag, 11 report fields, 16 hardware, END
inline constexpr size_t kReportLineMax = 78;          // keeps the BIOS cursor from wrapping

inline constexpr const wchar_t* kStampStateActive =
    L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)";
inline constexpr const wchar_t* kStampStatePureZero =
    L"Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)";
inline constexpr const wchar_t* kStampStateSimulation = L"Simulation / Dry-Run Report Stamp";

// What the boot screens call the erasure. A job told not to verify read nothing back, so its
// stamp must not say verified.
inline constexpr std::string_view kStampStatusVerified = "SANITIZED & VERIFIED";
inline constexpr std::string_view kStampStatusUnverified = "SANITIZED, UNVERIFIED";
// A stamp that records no erasure: one the operator wrote (stamp-write, the report dialog), a
// simulation's.
inline constexpr std::string_view kStampStatusNotCertified = "NOT CERTIFIED";
std::string_view StampStatusText(const StampPayload& payload);

// What a report says about the first sectors of the disk after the job.
std::wstring StampStateLabel(PostEraseState postEraseState, ExecutionMode executionMode);

// U+0020..U+007E pass through, U+3000 becomes a space, everything else is dropped.
std::string ToPrintableAscii(std::wstring_view text);

// Zeroes the whole destination, then copies at most destination.size() - 1 bytes of `text`,
// each byte outside 0x20..0x7E replaced by '?'. An empty destination is left alone.
void CopyFixedField(std::span<uint8_t> destination, std::string_view text);

// Lines of up to 78 characters are unchanged; longer ones keep their first 78.
std::string FitReportLine(std::string_view line);

// One UTF-8 line: 29 fields separated by '|', separators and line breaks inside fields
// replaced by spaces, at most kRecordMax bytes. When the fields do not fit, the free texts
// (disk, operator, organisation, hardware) are cut, the longest first and never inside a
// character, so every field keeps its place and the record still reads back whole.
std::string BuildStampRecord(const StampPayload& payload);

// The largest length such that `lengths`, each cut to it, add up to at most `budget`; the
// largest length itself when everything fits.
size_t FairShareLimit(std::vector<size_t> lengths, size_t budget);

// The line the MBR prints when it cannot load the report program; not yet cut.
std::string BuildMbrMessage(const StampPayload& payload);

}  // namespace tvde
