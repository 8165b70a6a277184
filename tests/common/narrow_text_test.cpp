// NarrowText: joining and cutting paths.

#include "common/narrow_text.h"

#include <gtest/gtest.h>

namespace {

TEST(NarrowText, JoinsAndCuts) {
    const NarrowText folder("C:\\Velmaris");
    EXPECT_STREQ((folder + '\\').CStr(), "C:\\Velmaris\\");
    EXPECT_STREQ((folder + "\\*.*").CStr(), "C:\\Velmaris\\*.*");
    EXPECT_STREQ(("regedit /e " + folder).CStr(), "regedit /e C:\\Velmaris");
    EXPECT_STREQ((folder + NarrowText("!")).CStr(), "C:\\Velmaris!");
    EXPECT_STREQ(folder.Right(3).CStr(), "ris");
    EXPECT_STREQ(folder.Right(99).CStr(), "C:\\Velmaris");
    EXPECT_STREQ(folder.Left(3).CStr(), "C:\\");
    EXPECT_STREQ(folder.Left(0).CStr(), "");
    EXPECT_EQ(folder.Length(), 11u);
}

TEST(NarrowText, CopiesAreIndependentOnceChanged) {
    NarrowText a("abc");
    NarrowText b = a;
    EXPECT_EQ(a.CStr(), b.CStr());
    b += "def";
    b += 'g';
    EXPECT_STREQ(a.CStr(), "abc");
    EXPECT_STREQ(b.CStr(), "abcdefg");
}

TEST(NarrowText, EmptyAndMissingTexts) {
    const NarrowText empty;
    EXPECT_STREQ(empty.CStr(), "");
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_STREQ(NarrowText(nullptr).CStr(), "");
    NarrowText text("x");
    text += static_cast<const char*>(nullptr);
    text += "";
    EXPECT_STREQ(text.CStr(), "x");
    EXPECT_STREQ((empty + "").CStr(), "");
}

} // namespace
