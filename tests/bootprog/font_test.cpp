// The boot screens' 8x16 font: complete, legible and laid out as the drawing code reads it.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "bootprog/efi/font_8x16.h"

namespace tvde {
namespace {

using bootfont::GlyphOf;
using bootfont::kFont;

std::string Glyph(int c) {
  return std::string(reinterpret_cast<const char*>(GlyphOf(static_cast<unsigned char>(c))), 16);
}

int Ink(int c) {
  int pixels = 0;
  for (const unsigned char row : Glyph(c))
    pixels += __builtin_popcount(row);
  return pixels;
}

TEST(BootFont, NinetyFivePrintableGlyphsAllDistinctAndSpaceBlank) {
  static_assert(sizeof kFont.glyphs == 95 * 16);
  EXPECT_EQ(Ink(' '), 0);
  std::set<std::string> shapes;
  for (int c = 0x20; c <= 0x7E; ++c) {
    SCOPED_TRACE(std::string(1, static_cast<char>(c)));
    if (c != ' ') {
      EXPECT_GE(Ink(c), 2) << "printable characters need visible ink";
    }
    EXPECT_TRUE(shapes.insert(Glyph(c)).second) << "two characters share a shape";
  }
}

TEST(BootFont, GlyphsStayInsideRowsTwoToElevenAndColumnsOneToSix) {
  for (int c = 0x20; c <= 0x7E; ++c) {
    SCOPED_TRACE(std::string(1, static_cast<char>(c)));
    const std::string g = Glyph(c);
    for (int row = 0; row < 16; ++row) {
      const auto bits = static_cast<unsigned char>(g[row]);
      if (row < 2 || row > 11) {
        EXPECT_EQ(bits, 0) << "row " << row;
      }
      EXPECT_EQ(bits & 0x81, 0) << "columns 0 and 7 stay blank, row " << row;
    }
  }
}

TEST(BootFont, RowsRunTopDownWithTheLeftmostPixelInTheHighBit) {
  // 'L': a stem in the leftmost used column and a foot at the bottom of the capital height.
  const std::string l = Glyph('L');
  EXPECT_EQ(static_cast<unsigned char>(l[3]), 0x40);
  EXPECT_EQ(static_cast<unsigned char>(l[9]), 0x7C);
  // '_' sits lowest, '^' highest; '|' is a single column.
  EXPECT_NE(static_cast<unsigned char>(Glyph('_')[10]), 0);
  EXPECT_EQ(static_cast<unsigned char>(Glyph('_')[3]), 0);
  EXPECT_NE(static_cast<unsigned char>(Glyph('^')[3]), 0);
  EXPECT_EQ(static_cast<unsigned char>(Glyph('^')[9]), 0);
  for (const unsigned char row : Glyph('|'))
    EXPECT_TRUE(row == 0 || row == 0x10);
  // Descenders go below the baseline of the capitals.
  EXPECT_NE(static_cast<unsigned char>(Glyph('g')[11]), 0);
  EXPECT_EQ(static_cast<unsigned char>(Glyph('a')[11]), 0);
}

TEST(BootFont, CharactersOutsidePrintableAsciiShowAsQuestionMark) {
  for (const int c : {0x00, 0x09, 0x1F, 0x7F, 0x80, 0xE3, 0xFF}) {
    EXPECT_EQ(GlyphOf(static_cast<unsigned char>(c)), GlyphOf('?')) << c;
  }
  EXPECT_NE(GlyphOf('A'), GlyphOf('?'));
}

}  // namespace
}  // namespace tvde
