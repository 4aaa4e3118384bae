// The report as console text, for firmware without a graphics output.
#include "report_block.h"
#include "screens.h"

namespace tvde::efi {
namespace {

constexpr Uintn kMaxLineChars = 158;
constexpr Uintn kAttributeWhiteOnBlue = 0x1F;
constexpr Uintn kAttributeBrightWhiteOnBlack = 0x0F;

// Prints an ASCII string; longer strings are cut at 158 characters.
void Print(SimpleTextOutput* out, const char* text) {
  Char16 wide[kMaxLineChars + 1];
  Uintn length = 0;
  while (length < kMaxLineChars && text[length] != 0) {
    wide[length] = static_cast<unsigned char>(text[length]);
    ++length;
  }
  wide[length] = 0;
  out->OutputString(out, wide);
}

// Appends at most maxChars characters of a zero-padded field to line at position used.
Uintn Append(char* line, Uintn used, Uintn capacity, const char* text, Uintn maxChars) {
  for (Uintn i = 0; i < maxChars && text[i] != 0 && used + 1 < capacity; ++i) {
    line[used++] = text[i];
  }
  line[used] = 0;
  return used;
}

// "  " + label + " " + value, then CR LF.
void PrintRow(SimpleTextOutput* out, const ReportRow& row) {
  char line[kMaxLineChars + 1];
  Uintn used = Append(line, 0, sizeof line, "  ", 2);
  used = Append(line, used, sizeof line, row.label, sizeof row.label);
  used = Append(line, used, sizeof line, " ", 1);
  Append(line, used, sizeof line, row.value, sizeof row.value);
  Print(out, line);
  Print(out, "\r\n");
}

}  // namespace

void DrawTextScreen(SimpleTextOutput* out) {
  if (out == nullptr) return;
  char rule[79];
  for (int i = 0; i < 78; ++i)
    rule[i] = '=';
  rule[78] = 0;

  out->SetAttribute(out, kAttributeWhiteOnBlue);
  out->ClearScreen(out);
  Print(out, rule);
  Print(out, "\r\n");
  Print(out, "  TOREVAL DISK ERASER - SANITIZATION & HARDWARE VERIFICATION REPORT\r\n");
  Print(out, rule);
  Print(out, "\r\n");
  out->SetAttribute(out, kAttributeBrightWhiteOnBlack);

  Print(out, "[Report Details]\r\n");
  for (const ReportRow& row : gReportBlock.report)
    PrintRow(out, row);
  Print(out, "\r\n[Hardware Details]\r\n");
  for (const ReportRow& row : gReportBlock.hardware)
    PrintRow(out, row);
}

}  // namespace tvde::efi
