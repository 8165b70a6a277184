// FileFinder against the real file system: search root, full paths, dots,
// the 259-character limit and ERROR_INVALID_NAME.

#include "common/file_finder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/scratch_folder.h"

namespace {

using testing_support::MakeFolders;
using testing_support::ScratchFolder;
using testing_support::WriteWholeFile;

class FileFinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        tools_ = scratch_ / "Tools";
        MakeFolders(tools_ + "\\sub");
        ASSERT_TRUE(WriteWholeFile(tools_ + "\\a.txt", "a"));
        ASSERT_TRUE(WriteWholeFile(tools_ + "\\noext", "n"));
    }

    ScratchFolder scratch_{"finder"};
    std::string tools_;
};

TEST_F(FileFinderTest, FolderWithoutWildcardFindsItself) {
    FileFinder finder;
    ASSERT_TRUE(finder.Find(tools_.c_str()));
    EXPECT_STREQ(finder.Name(), "Tools");
    EXPECT_EQ(std::string(finder.FullPath().CStr()), tools_);
    EXPECT_TRUE(finder.IsFolder());
    EXPECT_FALSE(finder.IsDots());
    EXPECT_FALSE(finder.Next());
    EXPECT_FALSE(finder.IsFolder());
    EXPECT_STREQ(finder.Name(), "");
}

TEST_F(FileFinderTest, AllEntriesOfAFolderWithFullPaths) {
    FileFinder finder;
    ASSERT_TRUE(finder.Find((tools_ + "\\*.*").c_str()));
    std::set<std::string> names;
    std::set<std::string> dots;
    do {
        names.insert(finder.Name());
        EXPECT_EQ(std::string(finder.FullPath().CStr()), tools_ + "\\" + finder.Name());
        if (finder.IsDots()) {
            dots.insert(finder.Name());
        }
        EXPECT_EQ(finder.IsFolder(), std::string(finder.Name()) == "sub" || finder.IsDots());
    } while (finder.Next());
    EXPECT_EQ(names, (std::set<std::string>{".", "..", "a.txt", "noext", "sub"}));
    EXPECT_EQ(dots, (std::set<std::string>{".", ".."}));
    finder.Close();
    EXPECT_FALSE(finder.Next());
}

TEST_F(FileFinderTest, RootComesFromTheFullForm) {
    FileFinder finder;
    // Forward slashes and a relative pattern both give the full form's root.
    std::string slashed = tools_ + "/a.txt";
    ASSERT_TRUE(finder.Find(slashed.c_str()));
    EXPECT_EQ(std::string(finder.FullPath().CStr()), tools_ + "\\a.txt");

    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(tools_.c_str()));
    const bool found = finder.Find("sub\\..\\noext");
    const std::string full = finder.FullPath().CStr();
    finder.Close();
    SetCurrentDirectoryA(previous);
    ASSERT_TRUE(found);
    EXPECT_EQ(full, tools_ + "\\noext");
}

TEST_F(FileFinderTest, MissingAndSeparatorEndedPatternsFindNothing) {
    FileFinder finder;
    EXPECT_FALSE(finder.Find((tools_ + "\\missing.txt").c_str()));
    EXPECT_FALSE(finder.Find((tools_ + "\\").c_str()));
    EXPECT_FALSE(finder.Find(nullptr));
    EXPECT_FALSE(finder.IsFolder());
}

TEST_F(FileFinderTest, LongPatternIsNotSearched) {
    FileFinder finder;
    std::string pattern = tools_ + "\\";
    pattern.append(260 - pattern.size(), 'x');
    ASSERT_EQ(pattern.size(), 260u);
    SetLastError(0xBEEF);
    EXPECT_FALSE(finder.Find(pattern.c_str()));
    EXPECT_EQ(GetLastError(), 0xBEEFu) << "the platform was asked";

    pattern.pop_back();
    SetLastError(0xBEEF);
    EXPECT_FALSE(finder.Find(pattern.c_str()));
    EXPECT_NE(GetLastError(), 0xBEEFu) << "a 259-character pattern must be searched";
}

TEST_F(FileFinderTest, FullFormTooLongIsAnInvalidName) {
    // A short relative pattern inside a deep current folder: the search
    // succeeds but the full form does not fit in 260 bytes.
    std::string deep = scratch_.Path();
    while (deep.size() < 240) {
        deep += "\\" + std::string(20, 'd');
    }
    deep.resize(248);
    MakeFolders(deep);
    const std::string name(20, 'f');
    ASSERT_GT(deep.size() + 1 + name.size(), 259u);

    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(deep.c_str()));
    const bool written = WriteWholeFile(name, "f");
    WIN32_FIND_DATAA data;
    HANDLE probe = FindFirstFileA(name.c_str(), &data);
    FileFinder finder;
    const bool found = finder.Find(name.c_str());
    const DWORD error = GetLastError();
    DeleteFileA(name.c_str());
    SetCurrentDirectoryA(previous);
    ASSERT_TRUE(written);
    if (probe == INVALID_HANDLE_VALUE) {
        GTEST_SKIP() << "this platform cannot search a path this long at all";
    }
    FindClose(probe);
    EXPECT_FALSE(found);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_FALSE(finder.Next());
}

} // namespace
