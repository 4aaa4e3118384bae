#pragma once
// The one text that says what a verification read back and what it compared the bytes with,
// made from the facts the read-backs recorded; every report prints it as it is.

#include <string>
#include <vector>

#include "erase/verification.h"

namespace tvde {

// For example "full surface, 1,953,525,168 sectors, compared with pass 3 (random stream)".
// `readBacks` holds one entry per read-back in the order they ran (several only when every
// pass was read back); empty gives an empty text (nothing was read back).
std::wstring VerificationScopeText(const std::vector<ReadBackFacts>& readBacks, bool everyPass);

// "1,953,525,168".
std::wstring GroupedDecimal(uint64_t value);

}  // namespace tvde
