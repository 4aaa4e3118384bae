// Base64 and PEM armour, written here so that every build produces the same text.
#include "base/pem.h"

namespace tvde {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kPemLineLength = 64;

int DigitValue(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string Base64Encode(std::span<const uint8_t> bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = bytes.size() - i;
    const uint32_t group = (uint32_t{bytes[i]} << 16) |
                           (left > 1 ? uint32_t{bytes[i + 1]} << 8 : 0) |
                           (left > 2 ? uint32_t{bytes[i + 2]} : 0);
    text.push_back(kAlphabet[(group >> 18) & 63]);
    text.push_back(kAlphabet[(group >> 12) & 63]);
    text.push_back(left > 1 ? kAlphabet[(group >> 6) & 63] : '=');
    text.push_back(left > 2 ? kAlphabet[group & 63] : '=');
  }
  return text;
}

bool Base64Decode(std::string_view text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (text.size() % 4 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    const size_t padding = !last ? 0 : text[i + 3] != '=' ? 0 : text[i + 2] != '=' ? 1 : 2;
    uint32_t group = 0;
    for (size_t k = 0; k < 4; ++k) {
      const int value = k < 4 - padding ? DigitValue(text[i + k]) : 0;
      if (value < 0) return false;
      group = (group << 6) | static_cast<uint32_t>(value);
    }
    // Bits below the last whole byte must be zero, so that one byte string has one text.
    if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0)) {
      return false;
    }
    bytes.push_back(static_cast<uint8_t>(group >> 16));
    if (padding < 2) bytes.push_back(static_cast<uint8_t>(group >> 8));
    if (padding < 1) bytes.push_back(static_cast<uint8_t>(group));
  }
  return true;
}

std::string EncodePem(std::string_view label, std::span<const uint8_t> der) {
  const std::string body = Base64Encode(der);
  std::string text = "-----BEGIN " + std::string(label) + "-----\n";
  for (size_t i = 0; i < body.size(); i += kPemLineLength) {
    text += body.substr(i, kPemLineLength);
    text += '\n';
  }
  text += "-----END " + std::string(label) + "-----\n";
  return text;
}

std::string PemLabel(std::string_view text) {
  constexpr std::string_view kBegin = "-----BEGIN ";
  const size_t begin = text.find(kBegin);
  if (begin == std::string_view::npos) return {};
  const size_t start = begin + kBegin.size();
  const size_t end = text.find("-----", start);
  const size_t lineEnd = text.find('\n', start);
  if (end == std::string_view::npos || (lineEnd != std::string_view::npos && lineEnd < end)) {
    return {};
  }
  return std::string(text.substr(start, end - start));
}

bool HasPemLabel(std::string_view pem, const char* label, std::string& error) {
  const std::string found = PemLabel(pem);
  if (found == label) return true;
  if (found.empty()) {
    error = "the file holds no PEM text (-----BEGIN " + std::string(label) + "-----)";
  } else {
    error = "the file holds a PEM \"" + found + "\", not a \"" + label + "\"";
    if (found == "EC PRIVATE KEY") error += " (convert it with: openssl pkcs8 -topk8 -nocrypt)";
  }
  return false;
}

}  // namespace tvde
