// WideText and FileFinder in a process whose system code page is UTF-8,
// where one UTF-16 unit can need three narrow bytes.

#include <gtest/gtest.h>

#include <string>

#include "common/file_finder.h"
#include "common/path_list.h"
#include "common/scratch_folder.h"
#include "common/wide_text.h"

namespace {

const char kEuros[] = "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC";

class Utf8CodePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetACP() != CP_UTF8) {
            GTEST_SKIP() << "the manifest's UTF-8 code page is not honoured here";
        }
    }
};

TEST_F(Utf8CodePageTest, NarrowCopyHoldsEveryByte) {
    const WideText euros(L"\x20AC\x20AC\x20AC\x20AC");
    EXPECT_STREQ(euros.Narrow(), kEuros);
    const WideText path = WideText("C:\\Donn\xC3\xA9"
                                   "es\\") +
                          euros;
    EXPECT_EQ(path.Length(), 15u);
    EXPECT_EQ(std::string(path.Narrow()), std::string("C:\\Donn\xC3\xA9"
                                                      "es\\") +
                                              kEuros);
    EXPECT_EQ(WideText(kEuros), euros);
}

TEST_F(Utf8CodePageTest, FolderSearchOnNonAsciiNames) {
    testing_support::ScratchFolder scratch("utf8");
    const std::string folder = scratch / (std::string("Runs ") + kEuros);
    testing_support::MakeFolders(folder);
    ASSERT_TRUE(testing_support::WriteWholeFile(folder + "\\\xC3\xA9t\xC3\xA9.acq", "x"));

    FileFinder finder;
    ASSERT_TRUE(finder.Find((folder + "\\*.acq").c_str()));
    const std::string full = finder.FullPath().CStr();
    EXPECT_EQ(full, folder + "\\\xC3\xA9t\xC3\xA9.acq");
    PathList paths;
    AppendUnique(paths, WideText(full.c_str()));
    EXPECT_EQ(std::string(paths[0].Narrow()), full);
    EXPECT_EQ(paths[0].Wide()[paths[0].Length() - 7], L'\x00E9');
}

} // namespace
