// The archive run on the program's own list control and a scratch
// installation: which rows and steps reach the archive, the final box, its
// owner and icon, and the cursor that comes back only after the box.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/run_archive.h"
#include "settings/registry_sandbox.h"
#include "archive/run_archive_support.h"
#include "settings/install_locations.h"

namespace {

using testing_support::BoxSeen;
using testing_support::BoxWatcher;
using testing_support::ListHost;
using testing_support::MakeFolders;
using testing_support::RegistrySandbox;
using testing_support::RemoveTree;
using testing_support::ReportLinesOf;
using testing_support::WriteWholeFile;
using testing_support::ZipEntryNames;

// An entry's name: the path without its drive prefix, with forward slashes.
std::string EntryName(const std::string& path) {
    std::string name = path.substr(3);
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

bool Contains(const std::vector<std::string>& all, const std::string& one) {
    return std::find(all.begin(), all.end(), one) != all.end();
}

class RunArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::string("C:\\gleanwell-run\\") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        install_ = root_ + "\\Velmaris";
        project_ = install_ + "\\Default.pro";
        RemoveTree(root_);
        MakeFolders(project_);
        StoreInstallDirectory(install_.c_str());
        StoreProjectFolder(project_.c_str());
        ASSERT_STREQ(ReadInstallDirectory().Narrow(), (install_ + "\\").c_str());
        ASSERT_TRUE(host_.Ready());
    }
    void TearDown() override { RemoveTree(root_); }

    void File(const std::string& path, const std::string& bytes = "data\r\n") {
        MakeFolders(path.substr(0, path.rfind('\\')));
        ASSERT_TRUE(WriteWholeFile(path, bytes));
    }

    std::vector<BoxSeen> Run() {
        BoxWatcher watcher;
        EXPECT_EQ(RunArchive(host_.Window(), host_.list), 0);
        return watcher.boxes;
    }

    std::vector<std::string> Entries() {
        return ZipEntryNames(install_ + "\\VelmarisErrorArchive.zip");
    }

    std::vector<std::string> Report() {
        bool complete = false;
        auto lines = ReportLinesOf(install_ + "\\ZipFailureFile.txt", &complete);
        EXPECT_TRUE(complete);
        return lines;
    }

    void ExpectFinished(const std::vector<BoxSeen>& boxes) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Archive");
        EXPECT_EQ(boxes[0].text, "Finished archive");
        EXPECT_EQ(boxes[0].owner, host_.Window());
        EXPECT_FALSE(boxes[0].icon);
        EXPECT_EQ(boxes[0].buttons, 1);
    }

    void ExpectNotWritten(const std::vector<BoxSeen>& boxes, const std::string& archive) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Archive");
        EXPECT_EQ(boxes[0].text, "The archive could not be written:\n" + archive);
        EXPECT_EQ(boxes[0].owner, host_.Window());
        EXPECT_TRUE(boxes[0].icon);
        EXPECT_EQ(boxes[0].buttons, 1);
    }

    RegistrySandbox sandbox_;
    std::string root_, install_, project_;
    ListHost host_;
};

TEST_F(RunArchiveTest, WithoutUserRowsTheStepsAndTheReportAreArchived) {
    File(install_ + "\\Velmaris.ini");
    File(install_ + "\\Method.acq");
    File(install_ + "\\Racks\\rack.xml");
    // The previous archive is replaced, whatever it held.
    File(install_ + "\\VelmarisErrorArchive.zip", "not an archive");

    ExpectFinished(Run());
    const auto entries = Entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_TRUE(Contains(entries, EntryName(install_ + "\\Velmaris.ini")));
    EXPECT_TRUE(Contains(entries, EntryName(install_ + "\\Method.acq")));
    EXPECT_TRUE(Contains(entries, EntryName(install_ + "\\Racks\\rack.xml")));
    EXPECT_EQ(entries.back(), EntryName(install_ + "\\ZipFailureFile.txt"));
    for (const std::string& name : entries) {
        EXPECT_EQ(name.rfind(EntryName(install_ + "\\"), 0), 0u) << name;
    }
}

TEST_F(RunArchiveTest, UncheckedRowsAreSkippedAndFixedRowsChangeNothing) {
    File(install_ + "\\Velmaris.ini");
    File(root_ + "\\Runs\\A\\a.txt");
    File(root_ + "\\Runs\\B\\b.txt");
    host_.list.AddRow("File", (root_ + "\\Runs\\A").c_str(), true);
    host_.list.AddRow("File", (root_ + "\\Runs\\B").c_str(), true);
    host_.list.SetRowChecked(7, false);
    for (int row = 0; row < 6; ++row) {
        host_.list.SetRowChecked(row, false);
    }

    ExpectFinished(Run());
    const auto entries = Entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front(), EntryName(root_ + "\\Runs\\A\\a.txt"));
    EXPECT_FALSE(Contains(entries, EntryName(root_ + "\\Runs\\B\\b.txt")));
    EXPECT_TRUE(Contains(entries, EntryName(install_ + "\\Velmaris.ini")));
    const auto report = Report();
    EXPECT_EQ(report.front(), "Success   :- " + root_ + "\\Runs\\A\\a.txt");
    for (const std::string& line : report) {
        EXPECT_EQ(line.find("\\Runs\\B"), std::string::npos) << line;
    }
}

TEST_F(RunArchiveTest, RowEqualToAStepsPathIsArchivedOnce) {
    const std::string sample = install_ + "\\SampleListInterface.txt";
    File(sample);
    host_.list.AddRow("Other", sample.c_str(), true);

    ExpectFinished(Run());
    const auto entries = Entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front(), EntryName(sample));
    EXPECT_EQ(std::count(entries.begin(), entries.end(), EntryName(sample)), 1);
    const auto report = Report();
    EXPECT_EQ(std::count(report.begin(), report.end(), "Success   :- " + sample), 1);
}

TEST_F(RunArchiveTest, PathsDifferingInCaseAreArchivedTwice) {
    File(root_ + "\\Data\\Run.txt");
    host_.list.AddRow("Raw Data", (root_ + "\\Data").c_str(), true);
    host_.list.AddRow("Other", (root_ + "\\DATA").c_str(), true);
    ASSERT_EQ(host_.list.RowCount(), 8);

    ExpectFinished(Run());
    // Both rows are searched; the folder is found under its own name, so the
    // file goes in twice under one entry name.
    const auto entries = Entries();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[0], EntryName(root_ + "\\Data\\Run.txt"));
    EXPECT_EQ(entries[1], entries[0]);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), entries[0]), 2);
}

TEST_F(RunArchiveTest, CursorComesBackOnlyAfterTheBox) {
    HCURSOR before = LoadCursorA(nullptr, MAKEINTRESOURCEA(32515)); // IDC_CROSS
    HCURSOR wait = LoadCursorA(nullptr, MAKEINTRESOURCEA(32514));   // IDC_WAIT
    SetCursor(before);
    const auto boxes = Run();
    ExpectFinished(boxes);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].cursor, wait);
    EXPECT_EQ(GetCursor(), before);
}

TEST_F(RunArchiveTest, MissingInstallationDirectoryIsReportedNotFinished) {
    // Stored folders that do not exist fall back to the defaults, which do
    // not exist here either: no archive can be created anywhere.
    RegistrySandbox::WriteText("Directory", root_ + "\\Gone");
    RegistrySandbox::WriteText("Project", root_ + "\\Gone\\Default.pro");
    ASSERT_EQ(GetFileAttributesA("C:\\Velmaris"), INVALID_FILE_ATTRIBUTES);
    host_.list.AddRow("Other", install_.c_str(), true);
    File(install_ + "\\Velmaris.ini");

    ExpectNotWritten(Run(), "C:\\Velmaris\\VelmarisErrorArchive.zip");
    EXPECT_EQ(GetFileAttributesA("C:\\Velmaris"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(RunArchiveTest, ArchiveThatCannotBeCreatedIsReportedWithEveryFileFailed) {
    // A folder stands where the archive should go.
    MakeFolders(install_ + "\\VelmarisErrorArchive.zip");
    File(install_ + "\\Velmaris.ini");

    ExpectNotWritten(Run(), install_ + "\\VelmarisErrorArchive.zip");
    const auto report = Report();
    EXPECT_TRUE(Contains(report, "Failed    :- " + install_ + "\\Velmaris.ini"));
    for (const std::string& line : report) {
        EXPECT_EQ(line.rfind("Success", 0), std::string::npos) << line;
    }
}

} // namespace
