// AppendUnique: the one way into PathList and ReportLines.

#include "common/path_list.h"

#include <gtest/gtest.h>

namespace {

TEST(AppendUnique, KeepsFirstOrderWithoutRepeats) {
    PathList list;
    AppendUnique(list, WideText("C:\\Data"));
    AppendUnique(list, WideText("D:\\Runs"));
    AppendUnique(list, WideText("C:\\Data"));
    AppendUnique(list, WideText(L"C:\\Data"));
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_STREQ(list[0].Narrow(), "C:\\Data");
    EXPECT_STREQ(list[1].Narrow(), "D:\\Runs");
}

TEST(AppendUnique, LetterCaseMakesADifferentText) {
    ReportLines lines;
    AppendUnique(lines, WideText("C:\\Data"));
    AppendUnique(lines, WideText("c:\\data"));
    ASSERT_EQ(lines.Count(), 2u);
    EXPECT_STREQ(lines[1].Narrow(), "c:\\data");
}

TEST(AppendUnique, NullAndEmptyAreDistinct) {
    PathList list;
    AppendUnique(list, WideText());
    AppendUnique(list, WideText());
    EXPECT_EQ(list.Count(), 1u);
    AppendUnique(list, WideText(""));
    AppendUnique(list, WideText(L""));
    EXPECT_EQ(list.Count(), 2u);
    // A record without a wide form is neither the null value nor empty, and
    // equals another record without one.
    AppendUnique(list, WideText(static_cast<const char*>(nullptr)));
    AppendUnique(list, WideText(static_cast<const wchar_t*>(nullptr)));
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_TRUE(list[0].IsNull());
    EXPECT_EQ(list[1].Length(), 0u);
    EXPECT_EQ(list[2].Wide(), nullptr);
}

TEST(AppendUnique, StoresASharedCopy) {
    PathList list;
    const WideText path("C:\\Velmaris\\Setup.ini");
    AppendUnique(list, path);
    AppendUnique(list, path);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_TRUE(list[0].SharesRecordWith(path));
    size_t seen = 0;
    for (const WideText& item : list) {
        EXPECT_EQ(item, path);
        ++seen;
    }
    EXPECT_EQ(seen, 1u);
}

} // namespace
