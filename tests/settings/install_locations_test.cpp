// Installation locations on the real per-user registry and file system.

#include "settings/install_locations.h"

#include <gtest/gtest.h>

#include <string>

#include "common/scratch_folder.h"
#include "settings/registry_sandbox.h"
#include "settings/settings_key.h"

namespace {

using testing_support::MakeFolders;
using testing_support::RegistrySandbox;
using testing_support::ScratchFolder;
using testing_support::WriteWholeFile;

std::string Text(const WideText& text) {
    return text.Narrow() == nullptr ? std::string("<none>") : std::string(text.Narrow());
}

class InstallLocationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = scratch_ / "Product";
        MakeFolders(folder_);
    }

    // A path of exactly `length` characters naming folder_, padded with
    // "\s\.." steps that the lookup resolves away.
    std::string PaddedFolderPath(size_t length) {
        MakeFolders(scratch_ / "s");
        std::string path = scratch_.Path();
        while (path.size() + 5 + 1 + 7 <= length) {
            path += "\\s\\..";
        }
        const std::string name(length - path.size() - 1, 'p');
        path += "\\" + name;
        MakeFolders(scratch_ / name);
        return path;
    }

    RegistrySandbox sandbox_;
    ScratchFolder scratch_{"settings"};
    std::string folder_;
};

TEST_F(InstallLocationsTest, DefaultsWithoutKeysLeaveTheKeysBehind) {
    ASSERT_FALSE(RegistrySandbox::KeyExists(RegistrySandbox::kCompanyPath));
    EXPECT_EQ(Text(ReadInstallDirectory()), "C:\\Velmaris\\");
    EXPECT_EQ(Text(ReadProjectFolder()), "C:\\Velmaris\\Default.pro\\");
    EXPECT_TRUE(RegistrySandbox::KeyExists(RegistrySandbox::kProductPath));
    bool found = true;
    RegistrySandbox::ReadRaw("Directory", &found);
    EXPECT_FALSE(found);
}

TEST_F(InstallLocationsTest, ExistingFolderGetsOneBackslash) {
    RegistrySandbox::WriteText("Directory", folder_);
    RegistrySandbox::WriteText("Project", folder_);
    EXPECT_EQ(Text(ReadInstallDirectory()), folder_ + "\\");
    EXPECT_EQ(Text(ReadProjectFolder()), folder_ + "\\");
}

TEST_F(InstallLocationsTest, InvalidStoredValuesGiveTheDefault) {
    ASSERT_TRUE(WriteWholeFile(scratch_ / "file.pro", "x"));
    const std::string project = "C:\\Velmaris\\Default.pro\\";
    for (const std::string& stored : {folder_ + "\\", scratch_ / "file.pro", folder_ + "\\.",
                                      folder_ + "\\..", scratch_ / "missing", std::string()}) {
        RegistrySandbox::WriteText("Project", stored);
        EXPECT_EQ(Text(ReadProjectFolder()), project) << stored;
    }
    // The stored value stays as it was.
    EXPECT_EQ(RegistrySandbox::ReadRaw("Project"), std::string("", 1));
}

TEST_F(InstallLocationsTest, LongestReadableValueIs254Characters) {
    const std::string fits = PaddedFolderPath(254);
    const std::string tooLong = PaddedFolderPath(255);
    ASSERT_EQ(fits.size(), 254u);
    ASSERT_EQ(tooLong.size(), 255u);
    ASSERT_TRUE(IsExistingFolder(fits.c_str()));
    ASSERT_TRUE(IsExistingFolder(tooLong.c_str()));

    RegistrySandbox::WriteText("Directory", fits);
    EXPECT_EQ(Text(ReadInstallDirectory()), fits + "\\");
    RegistrySandbox::WriteText("Directory", tooLong);
    EXPECT_EQ(Text(ReadInstallDirectory()), "C:\\Velmaris\\");
}

TEST_F(InstallLocationsTest, ValueWithoutTerminatingZeroIsReadSafely) {
    // Neither a zero nor a string type: the bytes read are the whole text.
    RegistrySandbox::WriteRaw("Directory", REG_BINARY, folder_);
    EXPECT_EQ(Text(ReadInstallDirectory()), folder_ + "\\");
    RegistrySandbox::WriteRaw("Project", REG_SZ, folder_);
    EXPECT_EQ(Text(ReadProjectFolder()), folder_ + "\\");
    // A full 255 bytes of data without a zero never reads past the buffer.
    RegistrySandbox::WriteRaw("Project", REG_BINARY, std::string(255, 'x'));
    EXPECT_EQ(Text(ReadProjectFolder()), "C:\\Velmaris\\Default.pro\\");
}

TEST_F(InstallLocationsTest, StoreRemovesOneTrailingBackslash) {
    StoreProjectFolder((folder_ + "\\").c_str());
    EXPECT_EQ(RegistrySandbox::ReadRaw("Project"), folder_ + std::string("", 1));
    EXPECT_EQ(Text(ReadProjectFolder()), folder_ + "\\");

    const std::string other = scratch_ / "Run1.pro";
    MakeFolders(other);
    StoreInstallDirectory(other.c_str());
    EXPECT_EQ(RegistrySandbox::ReadRaw("Directory"), other + std::string("", 1));
    EXPECT_EQ(Text(ReadInstallDirectory()), other + "\\");

    // Two backslashes keep one, so the text no longer names a folder.
    StoreInstallDirectory((folder_ + "\\\\").c_str());
    EXPECT_EQ(RegistrySandbox::ReadRaw("Directory"), other + std::string("", 1));
}

TEST_F(InstallLocationsTest, StoreOfNoFolderChangesNothing) {
    StoreInstallDirectory("");
    StoreInstallDirectory(nullptr);
    StoreProjectFolder((scratch_ / "missing").c_str());
    EXPECT_FALSE(RegistrySandbox::KeyExists(RegistrySandbox::kCompanyPath));

    StoreProjectFolder(folder_.c_str());
    ASSERT_TRUE(WriteWholeFile(scratch_ / "file", "x"));
    StoreProjectFolder((scratch_ / "file").c_str());
    StoreProjectFolder((scratch_ / "missing\\").c_str());
    EXPECT_EQ(RegistrySandbox::ReadRaw("Project"), folder_ + std::string("", 1));
}

TEST_F(InstallLocationsTest, StoreLimitIs259CharactersAfterTheBackslash) {
    const std::string longest = PaddedFolderPath(259);
    const std::string tooLong = PaddedFolderPath(260);
    StoreProjectFolder((tooLong + "\\").c_str());
    bool found = true;
    RegistrySandbox::ReadRaw("Project", &found);
    EXPECT_FALSE(found);
    StoreProjectFolder((longest + "\\").c_str());
    EXPECT_EQ(RegistrySandbox::ReadRaw("Project"), longest + std::string("", 1));
    // Stored, but longer than a read takes: the read gives the default.
    EXPECT_EQ(Text(ReadProjectFolder()), "C:\\Velmaris\\Default.pro\\");
}

TEST_F(InstallLocationsTest, SettingsKeyRoundTrip) {
    SettingsKey key;
    ASSERT_TRUE(key.IsOpen());
    EXPECT_TRUE(key.SetString("Directory", "D:\\Tools\\Product"));
    WideText text("unchanged");
    EXPECT_FALSE(key.GetString("Missing", text));
    EXPECT_EQ(Text(text), "unchanged");
    EXPECT_TRUE(key.GetString("Directory", text));
    EXPECT_EQ(Text(text), "D:\\Tools\\Product");
    EXPECT_EQ(RegistrySandbox::ReadRaw("Directory"), std::string("D:\\Tools\\Product", 17));
}

TEST_F(InstallLocationsTest, FolderTestRules) {
    EXPECT_TRUE(IsExistingFolder(folder_.c_str()));
    EXPECT_FALSE(IsExistingFolder((folder_ + "\\").c_str()));
    EXPECT_FALSE(IsExistingFolder((folder_ + "\\.").c_str()));
    EXPECT_FALSE(IsExistingFolder((folder_ + "\\..").c_str()));
    EXPECT_FALSE(IsExistingFolder(""));
    EXPECT_FALSE(IsExistingFolder(nullptr));
    EXPECT_FALSE(IsExistingFolder(PaddedFolderPath(260).c_str()));
}

} // namespace
