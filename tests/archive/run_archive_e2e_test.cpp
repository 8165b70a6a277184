// The Archive command end to end on a product installation made here: files
// by name ending and named folders, a project with fraction files, a running
// status-block simulator, two machine registry branches, a dropped folder and
// an unchecked row. Checks the archive's entries and their order, the
// report's lines and the produced files; leaves the installation in place for
// the independent zip readers that run after this test.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/machine_branches.h"
#include "archive/run_archive.h"
#include "settings/registry_sandbox.h"
#include "archive/run_archive_support.h"
#include "settings/install_locations.h"
#include "archive/status_block_runner.h"

namespace {

using namespace testing_support;

const std::string kRoot = "C:\\gleanwell-e2e";
const std::string kInstall = kRoot + "\\Velmaris";
const std::string kProject = kInstall + "\\Default.pro";
constexpr unsigned long kBlockSize = 12000;

std::string EntryName(const std::string& path) {
    std::string name = path.substr(3);
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

std::string PathOf(const std::string& entry) {
    std::string path = "C:\\" + entry;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void File(const std::string& path, const std::string& bytes) {
    MakeFolders(path.substr(0, path.rfind('\\')));
    ASSERT_TRUE(WriteWholeFile(path, bytes)) << path;
}

// Text that deflates well, and bytes that do not.
std::string Lines(const std::string& tag, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text +=
            tag + " line " + std::to_string(i) + ": pump 2 pressure 41.5 bar, flow 1.00 ml/min\r\n";
    }
    return text;
}
std::string Noise(int count) {
    std::string bytes;
    unsigned state = 12345;
    for (int i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 24);
    }
    return bytes;
}

void MakeInstallation() {
    RemoveTree(kRoot);
    File(kInstall + "\\Velmaris.ini", "[Instrument]\r\nModel=VL-4\r\n");
    File(kInstall + "\\Setup.INI", "not collected: the ending is matched with its case\r\n");
    File(kInstall + "\\Instrument.acq", Lines("acq", 400));
    File(kInstall + "\\Method.hv4", Lines("hv4", 50));
    File(kInstall + "\\SampleListInterface.txt", "Sample;Vial;Volume\r\nS1;1;10\r\n");
    File(kInstall + "\\InletLogs\\inlet1.log", Lines("inlet", 200));
    File(kInstall + "\\InletLogs\\2026\\inlet2.log", Lines("inlet 2026", 20));
    File(kInstall + "\\Halvorstrand\\hv.cfg", "Collector=2\r\n");
    File(kInstall + "\\Barcodes\\codes.csv", "code;plate\r\n0001;P1\r\n");
    File(kInstall + "\\Plates\\plate96.xml", "<plate wells=\"96\"/>\r\n");
    File(kInstall + "\\Racks\\rack.xml", "<rack/>\r\n");
    File(kInstall + "\\Racks\\rack_backup.zip", Noise(3000));
    File(kProject + "\\Project.ini", "[Project]\r\nName=Default\r\n");
    File(kProject + "\\Sample.acq", Lines("project acq", 30));
    File(kProject + "\\fraction1.frc", Lines("frc", 10));
    File(kProject + "\\Fractions\\fraction2.frc", Lines("frc 2", 10));
    File(kProject + "\\notes.txt", "not collected: no step takes it\r\n");
    File(kRoot + "\\Runs\\Batch7\\result.csv", Lines("result", 100));
    File(kRoot + "\\Runs\\Batch7\\sub\\trace.dat", Noise(5000));
    File(kRoot + "\\Runs\\Batch8\\skipped.csv", "unchecked row\r\n");
}

HDROP MakeDrop(const std::string& path) {
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + path.size() + 2);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), path.c_str(), path.size() + 1);
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Takes the entries of one group from `at`: all of them, in any order (the
// platform's listing order within a folder is its own).
void ExpectGroup(const std::vector<std::string>& entries, size_t& at, std::set<std::string> group) {
    const size_t size = group.size();
    ASSERT_LE(at + size, entries.size()) << "missing " << *group.begin();
    std::set<std::string> got(entries.begin() + at, entries.begin() + at + size);
    EXPECT_EQ(got, group);
    at += size;
}

TEST(RunArchiveEndToEnd, ProductInstallation) {
    RegistrySandbox sandbox;
    MakeInstallation();
    StoreInstallDirectory(kInstall.c_str());
    StoreProjectFolder(kProject.c_str());
    ASSERT_STREQ(ReadProjectFolder().Narrow(), (kProject + "\\").c_str());
    MachineBranches branches;
    StatusBlockSimulator product(kBlockSize);
    ASSERT_TRUE(product.Running());

    ListHost host;
    ASSERT_TRUE(host.Ready());
    HWND list = host.list.Window();
    SendMessageA(list, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(kRoot + "\\Runs\\Batch7")),
                 0);
    host.list.AddRow("Other", (kRoot + "\\Runs\\Batch8").c_str(), true);
    ASSERT_EQ(host.list.RowCount(), 8);
    // The user unticks Batch8 with a click on its row.
    RECT row{};
    row.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessageA(list, LVM_GETITEMRECT, 7, reinterpret_cast<LPARAM>(&row)));
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON,
                 MAKELPARAM((row.left + row.right) / 2, (row.top + row.bottom) / 2));
    SendMessageA(list, WM_LBUTTONUP, 0,
                 MAKELPARAM((row.left + row.right) / 2, (row.top + row.bottom) / 2));
    ASSERT_EQ(host.list.IsRowChecked(7), 0);

    BoxWatcher watcher;
    EXPECT_EQ(RunArchive(host.Window(), host.list), 0);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "Finished archive");
    EXPECT_FALSE(watcher.boxes[0].icon);

    // Entries: the dropped folder, then the six steps in order, then the report.
    const std::vector<std::string> entries = ZipEntryNames(kInstall + "\\VelmarisErrorArchive.zip");
    const std::string evt = kProject + "\\ApplicationEventLog.evt";
    // Wine's event log service writes no backup; Windows does.
    const bool backedUp = GetFileAttributesA(evt.c_str()) != INVALID_FILE_ATTRIBUTES;
    const std::string r = EntryName(kRoot + "\\");
    const std::string i = EntryName(kInstall + "\\");
    const std::string p = EntryName(kProject + "\\");
    std::vector<std::set<std::string>> groups = {
        {r + "Runs/Batch7/result.csv", r + "Runs/Batch7/sub/trace.dat"},
        {p + "ApplicationEventLog.evt"},
        {i + "ZentaveldRegistrySettings.reg"},
        {i + "OstrelRegistrySettings.reg"},
        {p + "VL_STATUS.txt"},
        {i + "Instrument.acq", p + "Sample.acq"},
        {i + "Velmaris.ini", p + "Project.ini"},
        {i + "SampleListInterface.txt"},
        {i + "Halvorstrand/hv.cfg"},
        {i + "Barcodes/codes.csv"},
        {i + "Method.hv4"},
        {p + "fraction1.frc", p + "Fractions/fraction2.frc"},
        {i + "Plates/plate96.xml"},
        {i + "Racks/rack.xml", i + "Racks/rack_backup.zip"},
        {i + "InletLogs/inlet1.log", i + "InletLogs/2026/inlet2.log"},
        {i + "ZipFailureFile.txt"},
    };
    if (!backedUp) {
        groups.erase(groups.begin() + 1);
    }
    size_t at = 0;
    for (const auto& group : groups) {
        ExpectGroup(entries, at, group);
    }
    EXPECT_EQ(at, entries.size());

    // The report: one line per archived file, in archive order, and the
    // backup that the event log service did not write.
    std::vector<std::string> expected;
    for (size_t e = 0; e + 1 < entries.size(); ++e) {
        expected.push_back("Success   :- " + PathOf(entries[e]));
        if (e == 1 && !backedUp) {
            expected.push_back("Not Found :- " + evt);
        }
    }
    bool complete = false;
    const auto report = ReportLinesOf(kInstall + "\\ZipFailureFile.txt", &complete);
    EXPECT_TRUE(complete);
    EXPECT_EQ(report, expected);

    // The produced files: the status dump and the registry exports.
    const std::string status = ReadWholeFile(kProject + "\\VL_STATUS.txt");
    ASSERT_EQ(status.size(), 10000u);
    for (size_t b = 0; b < status.size(); ++b) {
        ASSERT_EQ(static_cast<unsigned char>(status[b]), StatusBlockSimulator::PatternAt(b)) << b;
    }
    const std::string zentaveld = ReadWholeFile(kInstall + "\\ZentaveldRegistrySettings.reg");
    ASSERT_GE(zentaveld.size(), 2u);
    EXPECT_EQ(zentaveld.substr(0, 2), "\xFF\xFE");
    std::string narrowed;
    for (size_t b = 2; b + 1 < zentaveld.size(); b += 2) {
        narrowed += zentaveld[b];
    }
    EXPECT_NE(narrowed.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zentaveld\\Velmaris]"),
              std::string::npos);
    EXPECT_NE(narrowed.find("\"Version\"=\"5.2\""), std::string::npos);

    std::cout << "archive entries:\n";
    for (const std::string& name : entries) {
        std::cout << "  " << name << "\n";
    }
    std::cout << "report:\n";
    for (const std::string& line : report) {
        std::cout << "  " << line << "\n";
    }
}

} // namespace
