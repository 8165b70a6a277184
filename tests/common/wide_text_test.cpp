// WideText: comparison, sharing, joining and the code-page conversions.

#include "common/wide_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "common/code_page_conversion.h"
#include "common/wide_text_error.h"

namespace {

TEST(WideTextCompare, FollowsTheExactRule) {
    EXPECT_LT(WideText::Compare(WideText("abc"), WideText("abcd")), 0);
    EXPECT_GT(WideText::Compare(WideText("abcd"), WideText("abc")), 0);
    EXPECT_EQ(WideText::Compare(WideText(), WideText()), 0);
    EXPECT_EQ(WideText::Compare(WideText(), WideText(static_cast<const char*>(nullptr))), 0);
    EXPECT_LT(WideText::Compare(WideText(), WideText("")), 0);
    EXPECT_GT(WideText::Compare(WideText(""), WideText()), 0);
    EXPECT_EQ(WideText::Compare(WideText(""), WideText(L"")), 0);
    // Case-sensitive, no locale: the difference of the first differing units.
    EXPECT_EQ(WideText::Compare(WideText("C:\\Data"), WideText("c:\\data")), 'C' - 'c');
    EXPECT_NE(WideText("C:\\Data"), WideText("c:\\data"));
    EXPECT_EQ(WideText("C:\\Data"), WideText(L"C:\\Data"));
    // Units compare as unsigned 16-bit numbers.
    EXPECT_GT(WideText::Compare(WideText(L"\xFFFF"), WideText(L"a")), 0);
}

TEST(WideTextSharing, CopiesShareAndAppendMakesANewRecord) {
    WideText original("C:\\Velmaris\\");
    WideText copy = original;
    EXPECT_TRUE(copy.SharesRecordWith(original));
    copy += "Setup.ini";
    EXPECT_FALSE(copy.SharesRecordWith(original));
    EXPECT_STREQ(original.Narrow(), "C:\\Velmaris\\");
    EXPECT_STREQ(copy.Narrow(), "C:\\Velmaris\\Setup.ini");
    copy += WideText(L"!");
    EXPECT_STREQ(copy.Narrow(), "C:\\Velmaris\\Setup.ini!");

    WideText moved = std::move(copy);
    EXPECT_TRUE(copy.IsNull());
    EXPECT_EQ(moved.Length(), 22u);
}

TEST(WideTextJoin, JoinsEveryWay) {
    const WideText folder("C:\\Velmaris\\");
    EXPECT_STREQ((folder + "a.acq").Narrow(), "C:\\Velmaris\\a.acq");
    EXPECT_STREQ(("Success   :- " + folder).Narrow(), "Success   :- C:\\Velmaris\\");
    EXPECT_STREQ((folder + WideText(L"b")).Narrow(), "C:\\Velmaris\\b");
    // A missing wide form counts as empty beside a present one.
    EXPECT_STREQ((WideText() + folder).Narrow(), "C:\\Velmaris\\");
    // Two missing wide forms give a value without one (but with a record).
    const WideText nothing = WideText() + WideText();
    EXPECT_FALSE(nothing.IsNull());
    EXPECT_EQ(nothing.Wide(), nullptr);
    EXPECT_EQ(nothing.Narrow(), nullptr);
}

TEST(WideTextForms, NarrowAndWideFormsAgree) {
    EXPECT_EQ(WideText().Narrow(), nullptr);
    EXPECT_EQ(WideText().Wide(), nullptr);
    EXPECT_EQ(WideText(static_cast<const wchar_t*>(nullptr)).Wide(), nullptr);
    const WideText empty("");
    ASSERT_NE(empty.Wide(), nullptr);
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_STREQ(empty.Narrow(), "");
    // A character of the system code page survives the round trip.
    const char accented[] = {'D', 'a', 't', 'e', 'n', '\xE9', '\0'};
    if (GetACP() == 1252) {
        const WideText text(accented);
        EXPECT_EQ(text.Wide()[5], L'\x00E9');
        EXPECT_STREQ(text.Narrow(), accented);
    }
    // The narrow copy is made once and kept with the record.
    const WideText path("C:\\x");
    EXPECT_EQ(path.Narrow(), WideText(path).Narrow());
}

TEST(WideTextForms, TakeOverKeepsThePlatformString) {
    BSTR handed = SysAllocString(L"taken");
    const WideText text = WideText::TakeOver(handed);
    EXPECT_EQ(text.Wide(), handed);
    EXPECT_STREQ(text.Narrow(), "taken");
    EXPECT_EQ(WideText::TakeOver(nullptr).Wide(), nullptr);
}

TEST(CodePageConversion, SizesTheNarrowCopyByWhatItNeeds) {
    // Three UTF-16 units needing three bytes each in UTF-8: more than the
    // 2 x length + 2 bytes an estimate would give.
    const wchar_t euros[] = L"\x20AC\x20AC\x20AC\x20AC";
    std::unique_ptr<char[]> narrow(ConvertToNarrow(euros, 4, CP_UTF8));
    EXPECT_EQ(std::strlen(narrow.get()), 12u);
    EXPECT_STREQ(narrow.get(), "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC");

    BSTR back = ConvertToWide(narrow.get(), CP_UTF8);
    EXPECT_EQ(SysStringLen(back), 4u);
    EXPECT_EQ(std::memcmp(back, euros, sizeof euros), 0);
    SysFreeString(back);

    std::unique_ptr<char[]> empty(ConvertToNarrow(L"", 0, CP_UTF8));
    EXPECT_STREQ(empty.get(), "");
}

TEST(CodePageConversion, FailureRaisesTheLastErrorAsResultCode) {
    try {
        delete[] ConvertToNarrow(L"x", 1, 12345);
        FAIL() << "an unknown code page converted";
    } catch (const WideTextError& error) {
        EXPECT_EQ(static_cast<unsigned long>(error.Code()), 0x80070000ul | ERROR_INVALID_PARAMETER);
    }
    try {
        SysFreeString(ConvertToWide("x", 12345));
        FAIL() << "an unknown code page converted";
    } catch (const WideTextError& error) {
        EXPECT_EQ(static_cast<unsigned long>(error.Code()), 0x80070000ul | ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(WideTextError(0).Code(), 0);
    EXPECT_EQ(static_cast<unsigned long>(WideTextError(E_OUTOFMEMORY).Code()), 0x8007000Eul);
}

} // namespace
