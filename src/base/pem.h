#pragma once
// Base64 and the PEM text form of DER data ("-----BEGIN LABEL-----", 64-character lines, LF).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tvde {

// Standard alphabet with "=" padding, no line breaks.
std::string Base64Encode(std::span<const uint8_t> bytes);

// Accepts only what Base64Encode writes: no whitespace, padding to a multiple of four and
// zero bits after the last byte. Anything else gives false.
bool Base64Decode(std::string_view text, std::vector<uint8_t>& bytes);

// "-----BEGIN " + label + "-----\n", the Base64 text in lines of 64, "-----END " ... "-----\n".
std::string EncodePem(std::string_view label, std::span<const uint8_t> der);

// The label of the first "-----BEGIN LABEL-----" line; empty when there is none.
std::string PemLabel(std::string_view text);

// Whether the first PEM block of `pem` has `label`; else `error` says what the text holds. The
// key providers check this first, so that every build takes the same files: an unencrypted
// PKCS#8 private key ("PRIVATE KEY") or a SubjectPublicKeyInfo ("PUBLIC KEY").
bool HasPemLabel(std::string_view pem, const char* label, std::string& error);

}  // namespace tvde
