#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "platform/font.h"

namespace {

std::string bitmap(int code) {
    return std::string(reinterpret_cast<const char*>(font::kGlyphs[code]), 8);
}

bool blank(int code) {
    return bitmap(code) == std::string(8, '\0');
}

TEST(Font, BlankCodesAreBlankAndLettersAreDistinct) {
    EXPECT_TRUE(blank(0));
    EXPECT_TRUE(blank(' '));
    std::set<std::string> seen;
    for (int code = '!'; code <= '~'; ++code) {
        EXPECT_FALSE(blank(code)) << code;
        EXPECT_TRUE(seen.insert(bitmap(code)).second) << "duplicate glyph " << code;
    }
}

TEST(Font, TheMarksAndUmlautsTheProgramUsesHaveGlyphs) {
    for (int code : {16, 17, 30, 31, 127, 129, 132, 142, 148, 153, 154, 225}) {
        EXPECT_FALSE(blank(code)) << code;
        for (int letter = 'A'; letter <= 'z'; ++letter)
            EXPECT_NE(bitmap(code), bitmap(letter)) << code << " looks like " << char(letter);
    }
    EXPECT_NE(bitmap(16), bitmap(17));
    EXPECT_NE(bitmap(30), bitmap(31));
}

// The block elements pin the table to code page 437 order, not the font's own.
TEST(Font, BlockElementsSitAtTheirCodePagePositions) {
    for (int row = 0; row < 8; ++row) {
        EXPECT_EQ(font::kGlyphs[219][row], 0xFF) << row;           // full block
        EXPECT_EQ(font::kGlyphs[220][row], row < 4 ? 0x00 : 0xFF); // lower half
        EXPECT_EQ(font::kGlyphs[221][row], 0xF0) << row;           // left half
        EXPECT_EQ(font::kGlyphs[222][row], 0x0F) << row;           // right half
        EXPECT_EQ(font::kGlyphs[223][row], row < 4 ? 0xFF : 0x00); // upper half
    }
}

TEST(Font, SmallUmlautsAreTheirLettersWithDotsOnTop) {
    for (auto [umlaut, letter] : {std::pair{132, 'a'}, {148, 'o'}, {129, 'u'}}) {
        for (int row = 2; row < 8; ++row)
            EXPECT_EQ(font::kGlyphs[umlaut][row], font::kGlyphs[int(letter)][row]) << umlaut;
        EXPECT_EQ(font::kGlyphs[int(letter)][0], 0) << letter;
        EXPECT_NE(font::kGlyphs[umlaut][0], 0) << umlaut;
    }
}

} // namespace
