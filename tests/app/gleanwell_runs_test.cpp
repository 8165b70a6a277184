// Whole archive runs of Gleanwell.exe, driven from this process as a user
// makes them, while another program works on the files being collected: a
// log still being appended to, a file held without sharing, files deleted
// during the walk; and, run by hand, a tree of 20,000 files and more than a
// gigabyte, whose run must not need memory for file contents (WholeRunLarge),
// and runs past the classic zip limits: 70,000 files, and sources of more
// than 4 GiB (WholeRunZip64). Each run leaves its installation in place for
// the independent zip readers that run after this test.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "app/file_rival_runner.h"
#include "app/large_tree.h"
#include "app/user_run.h"
#include "archive/archive_check.h"
#include "archive/run_archive_support.h"
#include "settings/registry_sandbox.h"

namespace {

using namespace testing_support;

constexpr int kArchiveMs = 300000;
const std::string kSuccess = "Success   :- ";
const std::string kFailed = "Failed    :- ";

std::string ProgramPath() {
    std::string path = GLEANWELL_EXE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Log-like text: `count` numbered lines.
std::string LogLines(const std::string& tag, int count) {
    std::string text;
    char line[128];
    for (int i = 0; i < count; ++i) {
        const int length =
            std::snprintf(line, sizeof line, "%s %07d: inlet valve %d, flow %d.%02d ml/min\r\n",
                          tag.c_str(), i, i % 6, i % 3, i % 100);
        text.append(line, static_cast<size_t>(length));
    }
    return text;
}

// The outcome lines of a report by the path they name; a path named twice
// keeps every prefix it was given.
std::map<std::string, std::string> OutcomesByPath(const std::vector<std::string>& report) {
    std::map<std::string, std::string> outcomes;
    for (const std::string& line : report) {
        outcomes[line.substr(13)] += line.substr(0, 13);
    }
    return outcomes;
}

// The same keyed by entry name (UTF-8, slashes), as the report names files
// in UTF-8 while this test's paths are in its own code page.
std::map<std::string, std::string> OutcomesByEntryName(const std::vector<std::string>& report) {
    std::map<std::string, std::string> outcomes;
    for (const std::string& line : report) {
        std::string name = line.substr(13 + 3);
        std::replace(name.begin(), name.end(), '\\', '/');
        outcomes[name] += line.substr(0, 13);
    }
    return outcomes;
}

const ZipListingEntry* FindEntry(const std::vector<ZipListingEntry>& entries,
                                 const std::string& path) {
    const std::string name = EntryNameOf(path);
    for (const ZipListingEntry& entry : entries) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

class WholeRun : public ::testing::Test {
protected:
    // A fresh product installation for the case `name`, in the settings.
    void Prepare(const std::string& name) {
        root_ = "C:\\gleanwell-runs\\" + name;
        RemoveTree(root_);
        install_ = root_ + "\\Velmaris";
        project_ = install_ + "\\Default.pro";
        MakeFolders(project_);
        File(install_ + "\\Velmaris.ini", "[Instrument]\r\nModel=VL-4\r\n");
        RegistrySandbox::WriteText("Directory", install_);
        RegistrySandbox::WriteText("Project", project_);
    }

    std::string File(const std::string& path, const std::string& bytes) {
        MakeFolders(path.substr(0, path.rfind('\\')));
        EXPECT_TRUE(WriteWholeFile(path, bytes)) << path;
        return path;
    }

    // Runs the program with `folders` as data rows; checks the final box and
    // the exit status, reads the report and, unless the archive is too big to
    // hold in memory here, its listing.
    UserRun Run(const std::vector<std::string>& folders, int timeoutMs = kArchiveMs,
                bool list = true) {
        const UserRun run = RunAsUser(ProgramPath(), folders, timeoutMs);
        EXPECT_TRUE(run.completed) << run.error;
        EXPECT_EQ(run.boxText, "Finished archive");
        EXPECT_EQ(run.exitStatus, 2u);
        bool complete = false;
        report_ = ReportLinesOf(install_ + "\\ZipFailureFile.txt", &complete);
        EXPECT_TRUE(complete);
        PrintReport(run.archiveSeconds);
        if (list) {
            bool valid = false;
            entries_ = ListArchive(install_ + "\\VelmarisErrorArchive.zip", &valid);
            EXPECT_TRUE(valid);
            EXPECT_FALSE(entries_.empty());
            if (!entries_.empty()) {
                EXPECT_EQ(entries_.back().name, EntryNameOf(install_ + "\\ZipFailureFile.txt"));
            }
        }
        return run;
    }

    // The report as it stands, or for a long one the count of each outcome
    // with its first lines.
    void PrintReport(double seconds) const {
        std::cout << "run of " << seconds << " s; report of " << report_.size() << " lines:\n";
        std::map<std::string, std::vector<std::string>> byOutcome;
        for (const std::string& line : report_) {
            if (report_.size() <= 40) {
                std::cout << "  " << line << "\n";
            }
            byOutcome[line.substr(0, 13)].push_back(line);
        }
        if (report_.size() <= 40) {
            return;
        }
        for (const auto& [outcome, lines] : byOutcome) {
            std::cout << "  " << lines.size() << " lines \"" << outcome << "\", the first:\n";
            for (size_t i = 0; i < lines.size() && i < 4; ++i) {
                std::cout << "    " << lines[i] << "\n";
            }
        }
    }

    RegistrySandbox sandbox_;
    std::string root_;
    std::string install_;
    std::string project_;
    std::vector<std::string> report_;
    std::vector<ZipListingEntry> entries_;
};

TEST_F(WholeRun, LogAppendedDuringTheRunIsArchivedAsItStood) {
    Prepare("append");
    const std::string data = root_ + "\\Runs\\Batch1";
    const std::vector<std::string> dataFiles = {
        File(data + "\\result.csv", LogLines("result", 300)),
        File(data + "\\trace.dat", LogLines("trace", 40))};
    // The product's inlet log, big enough that appending goes on while it
    // is read; the product holds it open for writing, shared with readers.
    const std::string log = File(install_ + "\\InletLogs\\inlet.log", LogLines("inlet", 260000));
    FileRival product("append", {log, "16384", "10"}, true);
    ASSERT_TRUE(product.Ready());
    WIN32_FILE_ATTRIBUTE_DATA before{};
    ASSERT_TRUE(GetFileAttributesExA(log.c_str(), GetFileExInfoStandard, &before));

    Run({data});
    ASSERT_EQ(product.Finish(10000), 0);
    const std::string finalLog = ReadWholeFile(log);

    std::map<std::string, std::string> outcomes = OutcomesByPath(report_);
    EXPECT_EQ(outcomes[log], kSuccess);
    for (const std::string& file : dataFiles) {
        EXPECT_EQ(outcomes[file], kSuccess) << file;
    }
    for (const std::string& line : report_) {
        EXPECT_NE(line.substr(0, 13), kFailed);
    }
    // A prefix of the final log: more than it held before the run, less than
    // it holds now, with the CRC of exactly those bytes.
    const ZipListingEntry* entry = FindEntry(entries_, log);
    ASSERT_NE(entry, nullptr);
    EXPECT_GT(entry->size, before.nFileSizeLow);
    EXPECT_LT(entry->size, finalLog.size());
    EXPECT_EQ(entry->crc, Crc32(finalLog.substr(0, entry->size)));
    std::cout << "inlet.log: " << before.nFileSizeLow << " bytes before the run, " << entry->size
              << " archived, " << finalLog.size() << " at the end\n";
}

TEST_F(WholeRun, FileHeldWithoutSharingFailsAloneAndTheRunGoesOn) {
    Prepare("held");
    const std::string data = root_ + "\\Runs\\Batch2";
    const std::string first = File(data + "\\a-first.csv", LogLines("first", 100));
    const std::string held = File(data + "\\m-held.dat", LogLines("held", 100));
    const std::string last = File(data + "\\z-last.csv", LogLines("last", 100));
    FileRival holder("hold", {held}, true);
    ASSERT_TRUE(holder.Ready());

    Run({data});
    ASSERT_EQ(holder.Finish(10000), 0);

    std::map<std::string, std::string> outcomes = OutcomesByPath(report_);
    EXPECT_EQ(outcomes[held], kFailed);
    EXPECT_EQ(outcomes[first], kSuccess);
    EXPECT_EQ(outcomes[last], kSuccess);
    EXPECT_EQ(outcomes[install_ + "\\Velmaris.ini"], kSuccess);
    EXPECT_EQ(FindEntry(entries_, held), nullptr);
    for (const std::string& file : {first, last}) {
        const ZipListingEntry* entry = FindEntry(entries_, file);
        ASSERT_NE(entry, nullptr) << file;
        EXPECT_EQ(entry->crc, Crc32(ReadWholeFile(file))) << file;
    }
}

TEST_F(WholeRun, FilesDeletedDuringTheWalkFailOrAreNotListed) {
    Prepare("thin");
    const std::string data = root_ + "\\Runs\\Many";
    constexpr int kFiles = 2000;
    std::map<std::string, std::string> contents;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\sample %04d.txt", i);
        const std::string path = data + name;
        contents[path] = LogLines("sample " + std::to_string(i), 60);
        File(path, contents[path]);
    }
    // Deleting starts once the run has made the archive, that is, once it has
    // added the first file of this folder.
    FileRival deleter("thin", {data, install_ + "\\VelmarisErrorArchive.zip"}, false);
    ASSERT_TRUE(deleter.Ready());

    Run({data});
    const int deleted = deleter.Finish(120000);
    EXPECT_EQ(deleted, kFiles / 2);

    std::map<std::string, std::string> outcomes = OutcomesByPath(report_);
    int archivedThenGone = 0;
    int failed = 0;
    int unlisted = 0;
    for (const auto& [path, content] : contents) {
        const bool gone = GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
        const std::string outcome = outcomes.count(path) ? outcomes[path] : "";
        const ZipListingEntry* entry = FindEntry(entries_, path);
        if (outcome == kSuccess) {
            ASSERT_NE(entry, nullptr) << path;
            EXPECT_EQ(entry->size, content.size()) << path;
            EXPECT_EQ(entry->crc, Crc32(content)) << path;
            archivedThenGone += gone;
            continue;
        }
        EXPECT_TRUE(gone) << path << " is still there but was not archived";
        EXPECT_TRUE(outcome == kFailed || outcome.empty()) << path << ": " << outcome;
        EXPECT_EQ(entry, nullptr) << path;
        failed += outcome == kFailed;
        unlisted += outcome.empty();
    }
    // The deleting overlapped the walk: some files went before it reached them.
    EXPECT_GT(failed + unlisted, 0);
    std::cout << "deleted during the run: " << deleted << "; of those archived first "
              << archivedThenGone << ", failed " << failed << ", not listed " << unlisted << "\n";
}

// The large run: its tree and a small one for the memory baseline, made below
// C:\gleanwell-large and kept for the next run.
class WholeRunLarge : public WholeRun {};

TEST_F(WholeRunLarge, TwentyThousandFilesOfAGigabyteInBoundedMemory) {
    constexpr int kLargeMs = 3 * 60 * 60 * 1000;
    const std::string small = "C:\\gleanwell-large\\small";
    const std::string large = "C:\\gleanwell-large\\tree";
    const std::vector<TreeFile> smallFiles = PlanTree(small, {5, 4, 50, 512, 1024});
    const std::vector<TreeFile> largeFiles = PlanTree(large, {25, 8, 100, 24576, 61440});
    unsigned long long bytes = 0;
    for (const TreeFile& file : largeFiles) {
        bytes += file.size;
    }
    ASSERT_EQ(smallFiles.size(), 1000u);
    ASSERT_EQ(largeFiles.size(), 20000u);
    ASSERT_GE(bytes, 1ull << 30);
    const ULONGLONG making = GetTickCount64();
    bool made = false;
    ASSERT_TRUE(MakeTree(small, smallFiles, made));
    ASSERT_TRUE(MakeTree(large, largeFiles, made));
    std::cout << "code page " << GetACP() << "; large tree " << (made ? "made" : "reused") << " in "
              << (GetTickCount64() - making) / 1000 << " s: " << largeFiles.size() << " files, "
              << bytes << " bytes\n";

    Prepare("large-baseline");
    const UserRun baseline = Run({small});
    const std::map<std::string, std::string> smallOutcomes = OutcomesByEntryName(report_);
    for (const TreeFile& file : smallFiles) {
        const auto found = smallOutcomes.find(EntryNameOf(file.path));
        ASSERT_TRUE(found != smallOutcomes.end()) << file.path;
        EXPECT_EQ(found->second, kSuccess) << file.path;
    }

    Prepare("large");
    const UserRun run = Run({large}, kLargeMs, false);
    // Every file of the tree exactly once, archived; the readers compare the
    // entries with the files afterwards.
    const std::map<std::string, std::string> outcomes = OutcomesByEntryName(report_);
    size_t missing = 0;
    for (const TreeFile& file : largeFiles) {
        const auto found = outcomes.find(EntryNameOf(file.path));
        missing += found == outcomes.end();
        if (found != outcomes.end()) {
            EXPECT_EQ(found->second, kSuccess) << file.path;
        }
    }
    EXPECT_EQ(missing, 0u);
    HANDLE archive = CreateFileA((install_ + "\\VelmarisErrorArchive.zip").c_str(), GENERIC_READ,
                                 FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER archiveSize{};
    EXPECT_TRUE(archive != INVALID_HANDLE_VALUE && GetFileSizeEx(archive, &archiveSize));
    CloseHandle(archive);

    // Memory grows with the number of files (their report lines and
    // directory records), never with their contents.
    const long long extraFiles = static_cast<long long>(largeFiles.size() - smallFiles.size());
    const long long growth = static_cast<long long>(run.peakWorkingSet) -
                             static_cast<long long>(baseline.peakWorkingSet);
    ASSERT_GT(baseline.peakWorkingSet, 0u);
    EXPECT_LE(growth, extraFiles * 1024);
    std::cout << "baseline run (1,000 files): " << baseline.archiveSeconds
              << " s, peak working set " << baseline.peakWorkingSet << " bytes\n"
              << "large run (" << largeFiles.size() << " files, " << bytes
              << " bytes): " << run.archiveSeconds << " s, peak working set " << run.peakWorkingSet
              << " bytes, archive " << archiveSize.QuadPart << " bytes\n"
              << "growth " << growth << " bytes, " << growth / extraFiles
              << " bytes per extra file (at most 1024)\n";
}

// Runs past the zip format's classic limits, below C:\gleanwell-large too.
class WholeRunZip64 : public WholeRun {
protected:
    void ExpectAllArchived(const std::vector<std::string>& paths) {
        const std::map<std::string, std::string> outcomes = OutcomesByEntryName(report_);
        size_t missing = 0;
        for (const std::string& path : paths) {
            const auto found = outcomes.find(EntryNameOf(path));
            missing += found == outcomes.end();
            if (found != outcomes.end()) {
                EXPECT_EQ(found->second, kSuccess) << path;
            }
        }
        EXPECT_EQ(missing, 0u);
        for (const std::string& line : report_) {
            EXPECT_NE(line.substr(0, 13), kFailed) << line;
        }
    }

    static unsigned long long ArchiveSize(const std::string& path) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
            return 0;
        }
        return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    void PrintRun(const char* what, const UserRun& run) const {
        std::cout << what << ": " << run.archiveSeconds << " s from Archive to the final box, peak "
                  << "working set " << run.peakWorkingSet << " bytes, archive "
                  << ArchiveSize(install_ + "\\VelmarisErrorArchive.zip") << " bytes\n";
    }
};

// A sparse file of `size` bytes with a line of text at its start, middle and end.
bool MakeSparseData(const std::string& path, unsigned long long size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    const std::string line = "acquisition block\r\n";
    bool done = true;
    for (unsigned long long at : {0ull, size / 2, size - line.size()}) {
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(at);
        DWORD put = 0;
        done = done && SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
               WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &put, nullptr) &&
               put == line.size();
    }
    CloseHandle(file);
    return done;
}

TEST_F(WholeRunZip64, SeventyThousandFilesAreAllArchivedWithTheReportLast) {
    constexpr int kLargeMs = 3 * 60 * 60 * 1000;
    const std::string tree = "C:\\gleanwell-large\\many";
    const std::vector<TreeFile> files = PlanTree(tree, {10, 10, 720, 100, 300});
    ASSERT_EQ(files.size(), 72000u);
    bool made = false;
    ASSERT_TRUE(MakeTree(tree, files, made));
    Prepare("zip64-many");
    const UserRun run = Run({tree}, kLargeMs, false);
    std::vector<std::string> paths;
    for (const TreeFile& file : files) {
        paths.push_back(file.path);
    }
    ExpectAllArchived(paths);
    // The report names every file, so the archive holds more entries than
    // the classic end record can count; the report is its last entry.
    EXPECT_GT(report_.size(), 72000u);
    PrintRun("72,000 files", run);
}

TEST_F(WholeRunZip64, SourcesPastFourGiBAreArchived) {
    constexpr int kLargeMs = 3 * 60 * 60 * 1000;
    const std::string folder = "C:\\gleanwell-large\\gigabytes";
    MakeFolders(folder);
    const std::string raw = folder + "\\acquisition.raw";
    const std::string video = folder + "\\camera.zip";
    ASSERT_TRUE(MakeSparseData(raw, 4400000000ull));
    ASSERT_TRUE(MakeSparseData(video, 4300000000ull));
    Prepare("zip64-gigabytes");
    const UserRun run = Run({folder}, kLargeMs, false);
    ExpectAllArchived({raw, video, install_ + "\\Velmaris.ini"});
    EXPECT_GT(ArchiveSize(install_ + "\\VelmarisErrorArchive.zip"), 4300000000ull);
    PrintRun("4.4 GB deflated and 4.3 GB stored", run);
}

} // namespace
