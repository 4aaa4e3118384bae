// The boot screens' 8x16 font: every printable character legible, distinct and inside the
// cell, in the bit order the drawing code reads; anything else shows as a question mark.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "bootprog/efi/font_8x16.h"

namespace tvde {
namespace {

using bootfont::GlyphOf;

std::string Glyph(int c) {
  return std::string(reinterpret_cast<const char*>(GlyphOf(static_cast<unsigned char>(c))), 16);
}

TEST(BootFont, PrintableGlyphsAreDistinctInkedAndInsideRows2To11Columns1To6) {
  std::set<std::string> shapes;
  for (int c = 0x20; c <= 0x7E; ++c) {
    SCOPED_TRACE(std::string(1, static_cast<char>(c)));
    const std::string g = Glyph(c);
    EXPECT_TRUE(shapes.insert(g).second) << "two characters share a shape";
    int ink = 0;
    for (int row = 0; row < 16; ++row) {
      const auto bits = static_cast<unsigned char>(g[row]);
      ink += __builtin_popcount(bits);
      EXPECT_TRUE(bits == 0 || (row >= 2 && row <= 11 && (bits & 0x81) == 0)) << "row " << row;
    }
    EXPECT_EQ(ink == 0, c == ' ');
  }
  // The bit and row order is proven against the pictures on real firmware (the boot proofs).
  for (const int c : {0x00, 0x09, 0x1F, 0x7F, 0x80, 0xE3, 0xFF})
    EXPECT_EQ(GlyphOf(static_cast<unsigned char>(c)), GlyphOf('?')) << c;
}

}  // namespace
}  // namespace tvde
