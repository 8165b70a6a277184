// The code-page-aware separator search.

#include "common/path_separator.h"

#include <gtest/gtest.h>

namespace {

TEST(PathSeparator, FindsTheLaterOfBothKinds) {
    const char text[] = "C:\\a/b\\c";
    EXPECT_EQ(FindLastSeparator(text), text + 6);
    const char slashed[] = "C:\\a\\b/c";
    EXPECT_EQ(FindLastSeparator(slashed), slashed + 6);
    EXPECT_EQ(FindLastSeparator("name"), nullptr);
    EXPECT_EQ(FindLastSeparator(nullptr), nullptr);
    EXPECT_TRUE(EndsWithBackslash("C:\\Velmaris\\"));
    EXPECT_FALSE(EndsWithBackslash("C:\\Velmaris/"));
    EXPECT_FALSE(EndsWithBackslash(""));
}

TEST(PathSeparator, TrailByteIsNoSeparator) {
    // In code page 932 the character 0x95 0x5C ends in the byte value of '\'.
    if (!IsValidCodePage(932)) {
        GTEST_SKIP() << "code page 932 is not installed";
    }
    const char text[] = "C:\\Data\\\x95\x5C";
    EXPECT_EQ(FindLastSeparator(text, 932), text + 7);
    EXPECT_FALSE(EndsWithBackslash(text, 932));
    EXPECT_TRUE(EndsWithBackslash(text, 1252));
    const char folder[] = "C:\\\x95\x5C\\";
    EXPECT_TRUE(EndsWithBackslash(folder, 932));
}

} // namespace
