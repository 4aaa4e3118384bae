// The graphical report: header, logo, badge, two cards of label/value rows and a footer,
// drawn with Blt fills and text rendered from the built-in 8x16 font.
#include "font_8x16.h"
#include "report_block.h"
#include "screens.h"

namespace tvde::efi {
namespace {

// Colours as Blt pixels (0x00RRGGBB).
constexpr BltPixel kPage = 0xF1F5F9;
constexpr BltPixel kInk = 0x0F172A;
constexpr BltPixel kAccent = 0x0EA5E9;
constexpr BltPixel kGreen = 0x10B981;
constexpr BltPixel kWhite = 0xFFFFFF;
constexpr BltPixel kLightBlue = 0xBAE6FD;
constexpr BltPixel kLabelGrey = 0x334155;
constexpr BltPixel kBorder = 0xCBD5E1;

constexpr Uint32 kCellWidth = 8;
constexpr Uint32 kCellHeight = 16;
constexpr Uint32 kBufferWidth = 1400;
constexpr Uint32 kBufferHeight = 32;
constexpr Uint32 kMaxTextChars = 140;
constexpr Uint32 kBadgeMinWidth = 780;
constexpr Uint32 kFooterMinHeight = 606;
constexpr Uint32 kRowPitch = 19;
constexpr Uint32 kLabelX = 38;
constexpr Uint32 kValueX = 224;

// One text run is rendered here before it is copied to the screen in one Blt.
BltPixel gDrawBuffer[kBufferWidth * kBufferHeight];

void FillRect(GraphicsOutput* gop, Uint32 x, Uint32 y, Uint32 width, Uint32 height,
              BltPixel colour) {
  BltPixel fill = colour;
  gop->Blt(gop, &fill, kBltVideoFill, 0, 0, x, y, width, height, 0);
}

// Draws at most maxChars characters of text (and never more than 140) at (x, y).
void DrawText(GraphicsOutput* gop, Uint32 x, Uint32 y, const char* text, Uint32 maxChars,
              BltPixel foreground, BltPixel background, Uint32 scale) {
  if (text == nullptr || text[0] == 0 || (scale != 1 && scale != 2)) return;
  const Uint32 limit = maxChars < kMaxTextChars ? maxChars : kMaxTextChars;
  Uint32 count = 0;
  while (count < limit && text[count] != 0)
    ++count;

  const Uint32 cellWidth = kCellWidth * scale;
  Uint32 width = count * cellWidth;
  if (width > kBufferWidth) {
    count = kBufferWidth / cellWidth;
    width = kBufferWidth;
  }
  const Uint32 height = kCellHeight * scale;
  for (Uint32 i = 0; i < width * height; ++i)
    gDrawBuffer[i] = background;

  for (Uint32 index = 0; index < count; ++index) {
    const unsigned char* glyph = bootfont::GlyphOf(static_cast<unsigned char>(text[index]));
    for (Uint32 row = 0; row < kCellHeight; ++row) {
      for (Uint32 column = 0; column < kCellWidth; ++column) {
        if ((glyph[row] & (0x80u >> column)) == 0) continue;
        const Uint32 left = cellWidth * index + scale * column;
        const Uint32 top = scale * row;
        for (Uint32 dy = 0; dy < scale; ++dy) {
          for (Uint32 dx = 0; dx < scale; ++dx) {
            gDrawBuffer[(top + dy) * width + left + dx] = foreground;
          }
        }
      }
    }
  }
  gop->Blt(gop, gDrawBuffer, kBltBufferToVideo, 0, 0, x, y, width, height,
           width * sizeof(BltPixel));
}

void DrawLiteral(GraphicsOutput* gop, Uint32 x, Uint32 y, const char* text, BltPixel foreground,
                 BltPixel background, Uint32 scale) {
  DrawText(gop, x, y, text, kMaxTextChars, foreground, background, scale);
}

void DrawRows(GraphicsOutput* gop, Uint32 top, const ReportRow* rows, int count) {
  for (int i = 0; i < count; ++i) {
    const Uint32 y = top + kRowPitch * static_cast<Uint32>(i);
    DrawText(gop, kLabelX, y, rows[i].label, sizeof rows[i].label, kLabelGrey, kWhite, 1);
    DrawText(gop, kValueX, y, rows[i].value, sizeof rows[i].value, kInk, kWhite, 1);
  }
}

}  // namespace

void DrawGraphicsScreen(GraphicsOutput* gop, Uint32 width, Uint32 height) {
  const ReportBlock& block = gReportBlock;
  FillRect(gop, 0, 0, width, height, kPage);

  // Header bar with its accent line.
  FillRect(gop, 0, 0, width, 68, kInk);
  FillRect(gop, 0, 68, width, 4, kAccent);

  // Logo: a framed square of four tiles.
  FillRect(gop, 24, 14, 40, 40, kAccent);
  FillRect(gop, 28, 18, 32, 32, kInk);
  FillRect(gop, 33, 23, 10, 10, kAccent);
  FillRect(gop, 45, 23, 10, 10, kGreen);
  FillRect(gop, 33, 35, 10, 10, kGreen);
  FillRect(gop, 45, 35, 10, 10, kWhite);

  DrawLiteral(gop, 78, 12, "TOREVAL DISK ERASER", kWhite, kInk, 2);
  DrawText(gop, 80, 46, block.title, sizeof block.title, kLightBlue, kInk, 1);

  if (width >= kBadgeMinWidth) {
    FillRect(gop, width - 234, 18, 210, 34, kGreen);
    DrawText(gop, width - 216, 27, block.status, sizeof block.status, kInk, kGreen, 1);
  }

  const Uint32 cardWidth = width > 56 ? width - 48 : width;

  DrawLiteral(gop, 24, 82, "Erasure & Certification Report Details", kInk, kPage, 1);
  FillRect(gop, 24, 102, cardWidth, 147, kBorder);
  FillRect(gop, 25, 103, cardWidth - 2, 145, kWhite);
  DrawRows(gop, 109, block.report, kReportRows);

  DrawLiteral(gop, 24, 259, "Target Machine Hardware Details", kInk, kPage, 1);
  FillRect(gop, 24, 279, cardWidth, 299, kBorder);
  FillRect(gop, 25, 280, cardWidth - 2, 297, kWhite);
  DrawRows(gop, 286, block.hardware, kHardwareRows);

  if (height >= kFooterMinHeight) {
    FillRect(gop, 0, height - 28, width, 28, kInk);
    // Only a stamp whose status says SANITIZED claims the disk was sanitized.
    DrawLiteral(gop, 24, height - 22,
                block.status[0] == 'S'
                    ? "Status: Disk Permanently Sanitized (Bootable Report Stamp Active). No OS "
                      "Installed."
                    : "Status: Report Stamp Only - No Erasure Certified. No OS Installed.",
                kLightBlue, kInk, 1);
  }
}

}  // namespace tvde::efi
