// WideText and FileFinder in a process whose system code page is UTF-8,
// where one UTF-16 unit can need three narrow bytes.

#include <gtest/gtest.h>

#include <string>

#include "common/exact_narrow.h"
#include "common/file_finder.h"
#include "common/path_list.h"
#include "common/scratch_folder.h"
#include "common/wide_text.h"
#include "settings/install_locations.h"
#include "settings/registry_sandbox.h"

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

// Greek (two bytes a character) and Chinese (three bytes a character).
const char kGreek[] = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC";
const char kData[] = "\xE6\x95\xB0\xE6\x8D\xAE";

size_t Characters(const std::string& text) {
    return static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0) - 1);
}

TEST_F(Utf8CodePageTest, LongPathOfMultibyteCharactersIsFoundWhole) {
    // Within the platform's 259 characters, more than twice 259 bytes. Each
    // name stays within 255 bytes, the most a Unix host under Wine can hold.
    testing_support::ScratchFolder scratch("utf8long");
    std::string folder = scratch.Path();
    while (Characters(folder) + 1 + 8 < 130) {
        folder += std::string("\\") + kGreek;
    }
    folder += "\\";
    for (int i = 0; i < 15; ++i) {
        folder += kData;
    }
    std::string name;
    while (name.size() + 6 + 4 <= 255 && Characters(folder + "\\" + name) + 2 + 4 < 250) {
        name += kData;
    }
    name += ".txt";
    const std::string path = folder + "\\" + name;
    ASSERT_GT(path.size(), 2 * 259u);
    ASSERT_LE(Characters(path), 250u);
    testing_support::MakeFolders(folder);
    ASSERT_TRUE(testing_support::WriteWholeFile(path, "long"));

    FileFinder finder;
    ASSERT_TRUE(finder.Find((folder + "\\*.*").c_str()));
    std::string found;
    do {
        if (!finder.IsFolder()) {
            EXPECT_EQ(std::string(finder.Name()), name);
            found = finder.FullPath().CStr();
        }
    } while (finder.Next());
    EXPECT_EQ(found, path);
    ASSERT_TRUE(finder.Find(path.c_str()));
    EXPECT_EQ(std::string(finder.FullPath().CStr()), path);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST_F(Utf8CodePageTest, UnpairedSurrogateNeverBecomesAReplacementCharacter) {
    char narrow[16];
    EXPECT_FALSE(ToExactNarrow(L"a\xD800z", narrow, sizeof narrow));
    EXPECT_STREQ(narrow, "a?z");
    EXPECT_FALSE(ToExactNarrow(L"\xDC00\xD83D\xDE00", narrow, sizeof narrow));
    EXPECT_STREQ(narrow, "?\xF0\x9F\x98\x80");
    EXPECT_TRUE(ToExactNarrow(L"\xD83D\xDE00\x03A9", narrow, sizeof narrow));
    EXPECT_STREQ(narrow, "\xF0\x9F\x98\x80\xCE\xA9");
    // Too little room: a bare "?", never a cut name.
    EXPECT_FALSE(ToExactNarrow(L"\x6570\x636E", narrow, 4));
    EXPECT_STREQ(narrow, "?");
}

TEST_F(Utf8CodePageTest, SettingsAreLimitedByCharactersNotBytes) {
    // A folder of exactly 254 characters, most of them three bytes long, is
    // read back; one of 255 characters is not.
    testing_support::RegistrySandbox sandbox;
    testing_support::ScratchFolder scratch("utf8set");
    std::string fits = scratch.Path();
    while (Characters(fits) + 1 + 40 <= 254) {
        fits += "\\";
        for (int i = 0; i < 20; ++i) {
            fits += kData;
        }
    }
    fits += "\\";
    while (Characters(fits) < 254) {
        fits += 'x';
    }
    const std::string tooLong = fits + "x";
    ASSERT_GT(fits.size(), 2 * 255u);
    testing_support::MakeFolders(fits);
    testing_support::MakeFolders(tooLong);

    testing_support::RegistrySandbox::WriteText("Directory", fits);
    const WideText read = ReadInstallDirectory();
    EXPECT_EQ(read.Length(), 255u);
    EXPECT_EQ(std::string(read.Narrow()), fits + "\\");
    testing_support::RegistrySandbox::WriteText("Directory", tooLong);
    EXPECT_EQ(std::string(ReadInstallDirectory().Narrow()), "C:\\Velmaris\\");
}

} // namespace
