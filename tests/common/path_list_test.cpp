// AppendUnique: the one way into PathList and ReportLines.

#include "common/path_list.h"

#include <gtest/gtest.h>

#include <string>

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

TEST(AppendUnique, RepeatsAmongManyElementsAreStillFound) {
    ReportLines lines;
    const int kCount = 20000;
    for (int pass = 0; pass < 2; ++pass) {
        // The second pass brings equal texts in fresh records, in reverse.
        for (int i = 0; i < kCount; ++i) {
            const int n = pass == 0 ? i : kCount - 1 - i;
            AppendUnique(lines, WideText(("Success   :- C:\\Runs\\f" + std::to_string(n)).c_str()));
        }
    }
    AppendUnique(lines, WideText());
    AppendUnique(lines, WideText("SUCCESS   :- C:\\Runs\\f7"));
    AppendUnique(lines, WideText());
    AppendUnique(lines, WideText("SUCCESS   :- C:\\Runs\\f7"));
    ASSERT_EQ(lines.Count(), static_cast<size_t>(kCount) + 2);
    int outOfOrder = 0;
    for (int i = 0; i < kCount; ++i) {
        if (lines[i].Narrow() != "Success   :- C:\\Runs\\f" + std::to_string(i)) {
            ++outOfOrder;
        }
    }
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_TRUE(lines[kCount].IsNull());
    EXPECT_STREQ(lines[kCount + 1].Narrow(), "SUCCESS   :- C:\\Runs\\f7");
}

TEST(AppendUnique, TheWholeCountedTextDecides) {
    // A zero unit inside a counted text is part of it.
    PathList list;
    AppendUnique(list, WideText::TakeOver(SysAllocStringLen(L"C:\\a\0b", 6)));
    AppendUnique(list, WideText(L"C:\\a"));
    AppendUnique(list, WideText::TakeOver(SysAllocStringLen(L"C:\\a\0b", 6)));
    AppendUnique(list, WideText(L"C:\\a\xFFFF"));
    AppendUnique(list, WideText(L"C:\\a\x0001"));
    ASSERT_EQ(list.Count(), 4u);
    EXPECT_EQ(list[0].Length(), 6u);
    EXPECT_EQ(list[1].Length(), 4u);
    EXPECT_EQ(list[2].Wide()[4], L'\xFFFF');
}

} // namespace
