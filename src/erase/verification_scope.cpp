// Verification scope text: coverage, sectors, and the data compared with.
#include "erase/verification_scope.h"

#include "base/text.h"

namespace tvde {
namespace {

// "pass 3 (random stream)", "pass 2 (0xFF)", "pass 5 (pattern 92 49 24)".
std::wstring ComparedWith(const ReadBackFacts& facts) {
  std::wstring data;
  switch (facts.passKind) {
    case PassKind::FixedByte:
      data = FormatPrintfW("0x%02X", facts.pattern[0]);
      break;
    case PassKind::ThreeBytePattern:
      data = FormatPrintfW("pattern %02X %02X %02X", facts.pattern[0], facts.pattern[1],
                           facts.pattern[2]);
      break;
    case PassKind::Random:
      data = L"random stream";
      break;
  }
  return L"pass " + std::to_wstring(facts.passNumber) + L" (" + data + L")";
}

// "20,480 sectors" when all were read; "8,192 of 20,480 sectors" when a part was, with
// " (stopped)" when the read-back ended before its plan.
std::wstring Sectors(const ReadBackFacts& facts, const wchar_t* each) {
  std::wstring text = facts.complete && facts.sectorsRead == facts.sectorsTotal
                          ? GroupedDecimal(facts.sectorsTotal) + L" sectors" + each
                          : GroupedDecimal(facts.sectorsRead) + L" of " +
                                GroupedDecimal(facts.sectorsTotal) + L" sectors";
  if (!facts.complete) text += L" (stopped)";
  return text;
}

std::wstring Coverage(const ReadBackFacts& facts) {
  return facts.fullSurface ? L"full surface" : std::to_wstring(facts.windows) + L" sampled windows";
}

std::wstring WithWipe(const ReadBackFacts& facts) {
  return facts.zeroedCompared ? L" and the partition-table areas with 0x00" : L"";
}

std::wstring OneReadBack(const ReadBackFacts& facts) {
  const std::wstring with = facts.passNumber == 0
                                ? std::wstring(L"read back only (no pass written to compare with)")
                                : L"compared with " + ComparedWith(facts) + WithWipe(facts);
  return Coverage(facts) + L", " + Sectors(facts, L"") + L", " + with;
}

}  // namespace

std::wstring GroupedDecimal(uint64_t value) {
  const std::wstring digits = std::to_wstring(value);
  std::wstring out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += L',';
    out += digits[i];
  }
  return out;
}

std::wstring VerificationScopeText(const std::vector<ReadBackFacts>& readBacks, bool everyPass) {
  if (readBacks.empty()) return L"";
  if (!everyPass) return OneReadBack(readBacks.back());
  // "every pass: full surface, 20,480 sectors each, compared with pass 1 (0x00), pass 2 (0xFF)
  // and ..."; a read-back that stopped (always the last: the job stops there) follows on its own.
  std::wstring passed;
  const ReadBackFacts* stopped = nullptr;
  for (const ReadBackFacts& facts : readBacks) {
    if (!facts.complete) {
      stopped = &facts;
      break;
    }
    passed += (passed.empty() ? L"" : L", ") + ComparedWith(facts);
  }
  std::wstring text = L"every pass: ";
  if (!passed.empty()) {
    text += Coverage(readBacks.front()) + L", " + Sectors(readBacks.front(), L" each") +
            L", compared with " + passed + (stopped == nullptr ? WithWipe(readBacks.back()) : L"");
  }
  if (stopped != nullptr) {
    text += (passed.empty() ? L"" : L"; ") + ComparedWith(*stopped) + L": " + Coverage(*stopped) +
            L", " + Sectors(*stopped, L"");
  }
  return text;
}

}  // namespace tvde
