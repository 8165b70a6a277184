// The six collection steps against the real registry, registry editor, file
// system and a shared-memory block made by the status-block simulator.

#include "archive/collection_steps.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <set>
#include <string>
#include <vector>

#include "archive/machine_branches.h"
#include "archive/registry_export.h"
#include "archive/status_block_runner.h"
#include "common/scratch_folder.h"
#include "settings/registry_sandbox.h"

namespace {

using testing_support::MachineBranches;
using testing_support::MakeFolders;
using testing_support::ReadWholeFile;
using testing_support::RegistrySandbox;
using testing_support::ScratchFolder;
using testing_support::StatusBlockSimulator;
using testing_support::WriteWholeFile;

// Blanks, &, ^, %, parentheses: all legal in a folder name, all special to
// the command interpreter.
const char kAwkwardName[] = "Program Files & Co ^ (x86) %PATH%";

// A machine branch for the export to find, removed again if the test made it.
class MachineBranch {
public:
    MachineBranch() {
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zentaveld", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition) == ERROR_SUCCESS) {
            created_ = disposition == REG_CREATED_NEW_KEY;
            const char marker[] = "gleanwell-export-marker";
            RegSetValueExA(key, "GleanwellTestMarker", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(marker), sizeof marker);
            RegCloseKey(key);
        }
    }
    ~MachineBranch() {
        if (created_) {
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zentaveld");
        } else {
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zentaveld", 0, KEY_ALL_ACCESS, &key) ==
                ERROR_SUCCESS) {
                RegDeleteValueA(key, "GleanwellTestMarker");
                RegCloseKey(key);
            }
        }
    }

private:
    bool created_ = false;
};

// True when `bytes` (an export in UTF-16LE or narrow text) contains `text`.
bool ExportMentions(const std::string& bytes, const std::string& text) {
    std::string wide;
    for (char c : text) {
        wide += c;
        wide += '\0';
    }
    return bytes.find(wide) != std::string::npos || bytes.find(text) != std::string::npos;
}

std::vector<std::string> Narrow(const PathList& paths) {
    std::vector<std::string> texts;
    for (const WideText& path : paths) {
        texts.push_back(path.Narrow());
    }
    return texts;
}

class CollectionStepsTest : public ::testing::Test {
protected:
    void SetUp() override {
        install_ = scratch_ / kAwkwardName + "\\";
        project_ = install_ + "Default.pro\\";
        MakeFolders(project_.substr(0, project_.size() - 1));
        RegistrySandbox::WriteText("Directory", install_.substr(0, install_.size() - 1));
        RegistrySandbox::WriteText("Project", project_.substr(0, project_.size() - 1));
    }

    void File(const std::string& relative) {
        const std::string path = install_ + relative;
        MakeFolders(path.substr(0, path.find_last_of('\\')));
        ASSERT_TRUE(WriteWholeFile(path, relative));
    }

    RegistrySandbox sandbox_;
    ScratchFolder scratch_{"steps"};
    std::string install_;
    std::string project_;
};

TEST_F(CollectionStepsTest, StepsAppendInTheirFixedOrder) {
    MachineBranch branch;
    for (const char* relative :
         {"a.acq", "Setup.INI", "confini", "x.hv4", "notes.txt", "sub\\b.acq", "sub\\setup.ini",
          "Default.pro\\p.acq", "Default.pro\\p.ini", "Default.pro\\run.frc",
          "Halvorstrand\\h1.txt", "Halvorstrand\\deep\\h2.log", "Plates\\pl.dat",
          "InletLogs\\log1.txt", "InletLogs\\deep\\log2.txt"}) {
        File(relative);
    }
    MakeFolders(install_ + "Racks");

    PathList paths;
    CollectErrorLog(paths);
    CollectRegistrySettings(paths);
    CollectSharedMemory(paths);
    CollectProductFiles(paths);
    CollectFractionFiles(paths);
    CollectInletLogs(paths);

    // Within one walk the platform's listing order rules; the walks and the
    // steps themselves follow each other in this order.
    const std::string& i = install_;
    const std::vector<std::set<std::string>> groups = {
        {project_ + "ApplicationEventLog.evt"},
        {i + "ZentaveldRegistrySettings.reg"},
        {i + "OstrelRegistrySettings.reg"},
        {project_ + "VL_STATUS.txt"},
        {i + "a.acq", i + "sub\\b.acq", project_ + "p.acq"},
        {i + "confini", i + "sub\\setup.ini", project_ + "p.ini"},
        {i + "SampleListInterface.txt"},
        {i + "Halvorstrand\\h1.txt", i + "Halvorstrand\\deep\\h2.log"},
        {i + "x.hv4"},
        {project_ + "run.frc"},
        {i + "Plates\\pl.dat"},
        {i + "InletLogs\\log1.txt", i + "InletLogs\\deep\\log2.txt"},
    };
    const std::vector<std::string> got = Narrow(paths);
    size_t at = 0;
    for (const auto& group : groups) {
        ASSERT_LE(at + group.size(), got.size());
        std::set<std::string> seen(got.begin() + at, got.begin() + at + group.size());
        EXPECT_EQ(seen, group) << "at position " << at;
        at += group.size();
    }
    EXPECT_EQ(at, got.size());

    // The export landed at its full path despite the awkward folder name,
    // and nothing was written anywhere else.
    bool exported = false;
    const std::string bytes = ReadWholeFile(i + "ZentaveldRegistrySettings.reg", &exported);
    ASSERT_TRUE(exported);
    EXPECT_TRUE(ExportMentions(bytes, "gleanwell-export-marker"));
    EXPECT_TRUE(ExportMentions(bytes, "SOFTWARE\\Zentaveld"));
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((scratch_.Path() + "\\*").c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::set<std::string> top;
    do {
        top.insert(data.cFileName);
    } while (FindNextFileA(search, &data));
    FindClose(search);
    EXPECT_EQ(top, (std::set<std::string>{".", "..", kAwkwardName}));
}

TEST_F(CollectionStepsTest, EventLogBackupPathIsAppendedWithOrWithoutABackup) {
    // An old backup is removed first: the service does not overwrite it.
    ASSERT_TRUE(WriteWholeFile(project_ + "ApplicationEventLog.evt", "stale"));
    PathList paths;
    CollectErrorLog(paths);
    ASSERT_EQ(paths.Count(), 1u);
    EXPECT_EQ(std::string(paths[0].Narrow()), project_ + "ApplicationEventLog.evt");
    bool exists = false;
    const std::string backup = ReadWholeFile(project_ + "ApplicationEventLog.evt", &exists);
    EXPECT_TRUE(!exists || backup != "stale");
}

TEST_F(CollectionStepsTest, ExportReachesEveryLegalFolderName) {
    MachineBranch branch;
    // Run from the scratch folder, so a command smuggled in by a folder name
    // would leave its folder here.
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(scratch_.Path().c_str()));
    for (const char* name : {"Program Files", "a&b", "c^d", "e%PATH%f", "(g)h", "i j & (k) ^ %l%",
                             "m & mkdir injected &"}) {
        const std::string folder = scratch_ / name;
        MakeFolders(folder);
        RegistrySandbox::WriteText("Directory", folder);
        PathList paths;
        CollectRegistrySettings(paths);
        ASSERT_EQ(paths.Count(), 2u);
        EXPECT_EQ(std::string(paths[0].Narrow()), folder + "\\ZentaveldRegistrySettings.reg");
        EXPECT_EQ(std::string(paths[1].Narrow()), folder + "\\OstrelRegistrySettings.reg");
        bool exported = false;
        const std::string bytes =
            ReadWholeFile(folder + "\\ZentaveldRegistrySettings.reg", &exported);
        EXPECT_TRUE(exported) << name;
        EXPECT_TRUE(ExportMentions(bytes, "gleanwell-export-marker")) << name;
    }
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(GetFileAttributesA((scratch_ / "injected").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CollectionStepsTest, ExportGivesUpAtItsBound) {
    MachineBranch branch;
    const DWORD started = GetTickCount();
    EXPECT_FALSE(ExportRegistryBranch((install_ + "late.reg").c_str(),
                                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Zentaveld", 0));
    EXPECT_LT(GetTickCount() - started, 5000u);
    // Let the editor finish before the scratch folder goes away.
    for (int i = 0;
         i < 100 && GetFileAttributesA((install_ + "late.reg").c_str()) == INVALID_FILE_ATTRIBUTES;
         ++i) {
        Sleep(50);
    }
    Sleep(200);
}

// What the registry editor itself writes for `branch` ("regedit /e"); false
// when it cannot run here (on Windows it asks administrators for elevation).
bool EditorExport(const std::string& file, const std::string& branch) {
    char windows[MAX_PATH];
    GetSystemWindowsDirectoryA(windows, sizeof windows);
    std::string command = "regedit /e \"" + file + "\" " + branch;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA((std::string(windows) + "\\regedit.exe").c_str(), &command[0], nullptr,
                        nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

TEST_F(CollectionStepsTest, ExportsAreByteForByteTheRegistryEditors) {
    MachineBranches branches;
    PathList paths;
    CollectRegistrySettings(paths);
    for (const auto& exported : {std::make_pair("ZentaveldRegistrySettings.reg", "Zentaveld"),
                                 std::make_pair("OstrelRegistrySettings.reg", "Ostrel")}) {
        const std::string editorFile = scratch_ / (std::string(exported.second) + "-editor.reg");
        if (!EditorExport(editorFile,
                          std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\") + exported.second)) {
            GTEST_SKIP() << "the registry editor cannot run here";
        }
        bool found = false;
        const std::string ours = ReadWholeFile(install_ + exported.first, &found);
        ASSERT_TRUE(found) << exported.first;
        const std::string editors = ReadWholeFile(editorFile);
        // UTF-16LE with its byte-order mark, then the format's header line.
        ASSERT_GE(ours.size(), 2u);
        EXPECT_EQ(ours.substr(0, 2), "\xFF\xFE");
        EXPECT_TRUE(ExportMentions(ours, "Windows Registry Editor Version 5.00\r\n"));
        EXPECT_EQ(ours, editors) << exported.first;
    }
    // The values that need escapes and continuation lines are all there.
    const std::string zentaveld = ReadWholeFile(install_ + "ZentaveldRegistrySettings.reg");
    for (const char* line :
         {"\"Banner\"=\"say \\\"ready\\\" from C:\\\\Velmaris\\\\\"",
          "\"MethodPath\"=hex(2):", "\"Methods\"=hex(7):", "\"LampHours\"=dword:0000072a",
          "\"Runs\"=hex(b):", "\"Calibration\"=hex:", ",\\\r\n  "}) {
        EXPECT_TRUE(ExportMentions(zentaveld, line)) << line;
    }
}

TEST_F(CollectionStepsTest, MissingBranchLeavesNoFileNotEvenAnEarlierOne) {
    MachineBranches branches;
    MachineBranches::RemoveOstrel();
    const std::string zentaveld = install_ + "ZentaveldRegistrySettings.reg";
    const std::string ostrel = install_ + "OstrelRegistrySettings.reg";
    // Exports from an earlier run, one of them read-only.
    ASSERT_TRUE(WriteWholeFile(zentaveld, "earlier run"));
    ASSERT_TRUE(WriteWholeFile(ostrel, "earlier run"));
    SetFileAttributesA(ostrel.c_str(), FILE_ATTRIBUTE_READONLY);

    PathList paths;
    CollectRegistrySettings(paths);
    ASSERT_EQ(paths.Count(), 2u);
    EXPECT_EQ(std::string(paths[0].Narrow()), zentaveld);
    EXPECT_EQ(std::string(paths[1].Narrow()), ostrel);
    bool found = false;
    EXPECT_TRUE(ExportMentions(ReadWholeFile(zentaveld, &found), "Velmaris"));
    EXPECT_TRUE(found);
    EXPECT_EQ(GetFileAttributesA(ostrel.c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_TRUE(ExportRegistryBranch(zentaveld.c_str(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Zentaveld"));
    EXPECT_FALSE(ExportRegistryBranch(ostrel.c_str(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Ostrel"));
    EXPECT_EQ(GetFileAttributesA(ostrel.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(RegistryExportCommand, AsksForThe32BitViewWithEveryPartOneArgument) {
    const char* branch = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Zentaveld";
    for (const char* path :
         {"C:\\Velmaris\\ZentaveldRegistrySettings.reg",
          "C:\\Program Files & Co ^ (x86) %PATH%\\a b\\OstrelRegistrySettings.reg",
          "\\\\server\\share\\m & mkdir injected &\\x.reg"}) {
        const NarrowText command = RegistryExportCommand(path, branch);
        // Split as the tool's start-up code splits it.
        int count = 0;
        LPWSTR* arguments = CommandLineToArgvW(WideText(command.CStr()).Wide(), &count);
        ASSERT_NE(arguments, nullptr);
        std::vector<std::string> got;
        for (int i = 0; i < count; ++i) {
            got.push_back(WideText(arguments[i]).Narrow());
        }
        LocalFree(arguments);
        EXPECT_EQ(got, (std::vector<std::string>{"reg", "export", branch, path, "/y", "/reg:32"}));
    }
}

TEST_F(CollectionStepsTest, StatusDumpIsTheBlocksFirst10000Bytes) {
    const std::string dump = project_ + "VL_STATUS.txt";
    StatusBlockSimulator block(20000);
    ASSERT_TRUE(block.Running());
    PathList paths;
    CollectSharedMemory(paths);
    ASSERT_EQ(paths.Count(), 1u);
    EXPECT_EQ(std::string(paths[0].Narrow()), dump);
    const std::string bytes = ReadWholeFile(dump);
    ASSERT_EQ(bytes.size(), 10000u);
    for (unsigned long offset = 0; offset < bytes.size(); ++offset) {
        ASSERT_EQ(static_cast<unsigned char>(bytes[offset]),
                  StatusBlockSimulator::PatternAt(offset))
            << "offset " << offset;
    }
}

TEST_F(CollectionStepsTest, StatusDumpOfASmallBlockIsEmpty) {
    const std::string dump = project_ + "VL_STATUS.txt";
    ASSERT_TRUE(WriteWholeFile(dump, "old dump"));
    StatusBlockSimulator block(4096);
    ASSERT_TRUE(block.Running());
    PathList paths;
    CollectSharedMemory(paths);
    bool exists = false;
    EXPECT_EQ(ReadWholeFile(dump, &exists), "");
    EXPECT_TRUE(exists);
    EXPECT_EQ(paths.Count(), 1u);
}

TEST_F(CollectionStepsTest, NoStatusBlockWritesNothingButStillAppends) {
    const std::string dump = project_ + "VL_STATUS.txt";
    PathList paths;
    CollectSharedMemory(paths);
    ASSERT_EQ(paths.Count(), 1u);
    EXPECT_EQ(std::string(paths[0].Narrow()), dump);
    EXPECT_EQ(GetFileAttributesA(dump.c_str()), INVALID_FILE_ATTRIBUTES);
    // An old dump stays as it was.
    ASSERT_TRUE(WriteWholeFile(dump, "old dump"));
    CollectSharedMemory(paths);
    EXPECT_EQ(ReadWholeFile(dump), "old dump");
    EXPECT_EQ(paths.Count(), 1u);
}

TEST_F(CollectionStepsTest, CollectFilesMatchesEndingsExactly) {
    for (const char* relative :
         {"a.ini", "setini", "up\\A.INI", "ini", "in", "x.acq.bak", "d\\e.ini"}) {
        File(relative);
    }
    PathList paths;
    CollectFiles(install_.c_str(), paths, "ini");
    std::set<std::string> got;
    for (const std::string& path : Narrow(paths)) {
        got.insert(path);
    }
    EXPECT_EQ(got, (std::set<std::string>{install_ + "a.ini", install_ + "setini", install_ + "ini",
                                          install_ + "d\\e.ini"}));
    PathList every;
    CollectFiles(install_.c_str(), every, "");
    EXPECT_EQ(every.Count(), 7u);
}

TEST_F(CollectionStepsTest, CollectFilesOnMissingOrUnsearchableFoldersAddsNothing) {
    PathList paths;
    CollectFiles((install_ + "Barcodes\\").c_str(), paths, "");
    std::string tooLong = install_;
    tooLong.append(260 - tooLong.size(), 'x');
    CollectFiles((tooLong + "\\").c_str(), paths, "");
    CollectFiles(nullptr, paths, "");
    CollectFiles("", paths, "");
    EXPECT_EQ(paths.Count(), 0u);
}

} // namespace
