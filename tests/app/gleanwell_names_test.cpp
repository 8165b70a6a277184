// A whole archive run of Gleanwell.exe over names in many scripts, driven
// from this process as a user makes it: Western accents, Greek and Chinese
// names, a name beside its best-fit look-alike ("Omega.txt" beside the same
// name with a Greek capital omega) and a path of 240 characters, most of
// them two and three bytes long. This test has UTF-8 as its own code page
// (its manifest), so its paths are the very bytes the program uses. The
// installation is left in place for the independent zip readers, which
// check the true names afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "app/user_run.h"
#include "archive/archive_check.h"
#include "archive/run_archive_support.h"
#include "settings/registry_sandbox.h"

namespace {

using namespace testing_support;

constexpr int kArchiveMs = 300000;

// UTF-8 spellings of the names.
const std::string kResults = "R\xC3\xA9sultats.txt";
const std::string kMueller = "M\xC3\xBCller \xC3\x9F.csv";
const std::string kOmega = "\xCE\xA9mega.txt";
const std::string kData = "\xE6\x95\xB0\xE6\x8D\xAE.txt";
const std::string kGreek =
    "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC"; // 8 characters
const std::string kRecords =
    "\xE5\xAE\x9E\xE9\xAA\x8C\xE6\x95\xB0\xE6\x8D\xAE\xE8\xAE\xB0\xE5\xBD\x95"; // 6 characters

std::string ProgramPath() {
    std::string path = GLEANWELL_EXE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

size_t Characters(const std::string& text) {
    return static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0) - 1);
}

// A path of exactly `length` characters below `folder`: Greek and Chinese
// folders, then a Chinese file name padded with ASCII digits.
std::string LongPath(const std::string& folder, size_t length) {
    std::string path = folder;
    for (int level = 0; Characters(path) + 1 + 8 + 20 < length; ++level) {
        path += "\\" + (level % 2 == 0 ? kGreek : kRecords + kRecords);
    }
    path += "\\" + kRecords + kRecords;
    while (Characters(path) + 4 < length) {
        path += static_cast<char>('0' + Characters(path) % 10);
    }
    return path + ".txt";
}

TEST(NamesRun, EveryFileIsArchivedUnderItsTrueName) {
    if (GetACP() != CP_UTF8) {
        GTEST_SKIP() << "the manifest's UTF-8 code page is not honoured here";
    }
    RegistrySandbox sandbox;
    const std::string root = "C:\\gleanwell-runs\\names";
    RemoveTree(root);
    const std::string install = root + "\\Velmaris";
    const std::string project = install + "\\Default.pro";
    MakeFolders(project);
    RegistrySandbox::WriteText("Directory", install);
    RegistrySandbox::WriteText("Project", project);

    // The named files in a folder of ASCII name, so that entries of ASCII
    // names stand beside the others; a second folder, added through the
    // folder browser by its non-ASCII name.
    const std::string data = root + "\\Data";
    const std::string measures = root + "\\Mesures \xC3\xA9t\xC3\xA9";
    std::map<std::string, std::string> files;
    for (const std::string& name : {std::string("plain.txt"), kResults, kMueller, kOmega, kData,
                                    kGreek + ".log", std::string("Omega.txt")}) {
        files[data + "\\" + name] = "the bytes of " + name + "\r\n";
    }
    const std::string longPath = LongPath(data, 240);
    files[longPath] = "the bytes of the long path\r\n";
    files[measures + "\\mesure.csv"] = "the bytes of mesure.csv\r\n";
    ASSERT_EQ(Characters(longPath), 240u);
    ASSERT_GT(longPath.size(), 2 * 259u);
    for (const auto& [path, bytes] : files) {
        MakeFolders(path.substr(0, path.rfind('\\')));
        ASSERT_TRUE(WriteWholeFile(path, bytes)) << path;
    }
    std::cout << "long path of " << Characters(longPath) << " characters, " << longPath.size()
              << " bytes:\n  " << longPath << "\n";

    const UserRun run = RunAsUser(ProgramPath(), {data, measures}, kArchiveMs);
    ASSERT_TRUE(run.completed) << run.error;
    EXPECT_EQ(run.boxText, "Finished archive");
    EXPECT_EQ(run.exitStatus, 2u);

    bool complete = false;
    const std::vector<std::string> report =
        ReportLinesOf(install + "\\ZipFailureFile.txt", &complete);
    EXPECT_TRUE(complete);
    std::cout << "report of " << report.size() << " lines:\n";
    std::map<std::string, std::string> outcomes;
    for (const std::string& line : report) {
        std::cout << "  " << line << "\n";
        outcomes[line.substr(13)] += line.substr(0, 13);
    }
    // UTF-8 like every path here, and without a byte-order mark.
    EXPECT_NE(ReadWholeFile(install + "\\ZipFailureFile.txt").compare(0, 3, "\xEF\xBB\xBF"), 0);

    bool valid = false;
    const std::vector<ZipListingEntry> entries =
        ListArchive(install + "\\VelmarisErrorArchive.zip", &valid);
    ASSERT_TRUE(valid);
    for (const auto& [path, bytes] : files) {
        EXPECT_EQ(outcomes[path], "Success   :- ") << path;
        const std::string name = EntryNameOf(path);
        const auto same = std::count_if(entries.begin(), entries.end(),
                                        [&](const ZipListingEntry& e) { return e.name == name; });
        EXPECT_EQ(same, 1) << name;
        for (const ZipListingEntry& entry : entries) {
            if (entry.name == name) {
                EXPECT_EQ(entry.size, bytes.size()) << name;
                EXPECT_EQ(entry.crc, Crc32(bytes)) << name;
            }
        }
    }
}

} // namespace
