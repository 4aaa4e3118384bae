#pragma once
// The payload file format of the console tool: UTF-8 "key=value" lines with the StampPayload
// field names and "hardware.<field>" for the hardware texts.

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "stamp/stamp_payload.h"

namespace tvde::cli {

// Every key, in the order stamp-read prints them.
std::vector<std::string> PayloadKeys();

// Sets one field. False with a message for an unknown key, a malformed number, invalid UTF-8 or
// a control character that would break the record.
bool SetPayloadField(StampPayload& payload, std::string_view key, std::string_view value,
                     std::string& error);

// Applies one "key=value" text (a --field argument); `where` names it in messages. Keys the
// stamp cannot keep (incomplete, stampState, softwareVersion) are refused unless they hold
// the value the stamp reads back with.
bool ApplyFieldAssignment(StampPayload& payload, std::string_view assignment,
                          std::set<std::string>& seenKeys, const std::string& where,
                          std::string& error);

// Applies a whole payload file. Empty lines and lines starting with '#' are skipped; a UTF-8
// byte-order mark and CR LF line ends are accepted; a key may appear only once.
bool ApplyPayloadText(StampPayload& payload, std::string_view text, const std::string& fileName,
                      std::string& error);

// "key=value" lines for every key; line breaks inside values are shown as spaces.
std::string FormatPayload(const StampPayload& payload);

}  // namespace tvde::cli
