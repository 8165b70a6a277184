// Gleanwell.exe as a whole, driven from this separate process: its dialog and
// rows, a folder added with Add Data, an archive run to its final box, and
// the exit status and the archive it leaves.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "archive/machine_branches.h"
#include "remote_gleanwell.h"
#include "ui_wait.h"

namespace {

constexpr int kWaitMs = 30000;

std::string ProgramPath() {
    std::string path = GLEANWELL_EXE;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

uint32_t Read32(const std::vector<char>& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

uint16_t Read16(const std::vector<char>& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// The entry names of a zip file's central directory, in order; empty when the
// file is missing or its end record cannot be found.
std::vector<std::string> ZipEntryNames(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> names;
    if (bytes.size() < 22) {
        return names;
    }
    size_t end = bytes.size() - 22;
    while (end > 0 && Read32(bytes, end) != 0x06054b50) {
        --end;
    }
    if (Read32(bytes, end) != 0x06054b50) {
        return names;
    }
    const unsigned count = Read16(bytes, end + 10);
    size_t at = Read32(bytes, end + 16);
    for (unsigned i = 0; i < count && at + 46 <= bytes.size(); ++i) {
        if (Read32(bytes, at) != 0x02014b50) {
            break;
        }
        const size_t nameLength = Read16(bytes, at + 28);
        names.emplace_back(&bytes[at + 46], nameLength);
        at += 46 + nameLength + Read16(bytes, at + 30) + Read16(bytes, at + 32);
    }
    return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names) {
        if (n == name) {
            return true;
        }
    }
    return false;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Whether a console belongs to process `id`: attaching to it fails with
// ERROR_INVALID_HANDLE when it has none. Only a process without a console may
// attach, so this one lets go of its own first (its output goes to pipes).
DWORD AttachConsoleError(DWORD id) {
    FreeConsole();
    if (AttachConsole(id)) {
        FreeConsole();
        return ERROR_SUCCESS;
    }
    return GetLastError();
}

// Watches the desktop for visible console windows (the system's console
// host, Wine's, a terminal application's) until stopped: a console program
// started with a window of its own shows one for as long as it runs.
class ConsoleWindowWatch {
public:
    ConsoleWindowWatch() : thread_([this] { Watch(); }) {}
    ~ConsoleWindowWatch() { Stop(); }

    /* Ends the watch; returns the classes of the console windows seen. */
    std::vector<std::string> Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        return seen_;
    }

private:
    void Watch() {
        while (!stop_) {
            EnumWindows(&Look, reinterpret_cast<LPARAM>(&seen_));
            Sleep(5);
        }
    }
    static BOOL CALLBACK Look(HWND window, LPARAM seen) {
        char name[64] = "";
        GetClassNameA(window, name, sizeof name);
        const std::string type(name);
        if (IsWindowVisible(window) &&
            (type == "ConsoleWindowClass" || type == "WineConsoleClass" ||
             type == "CASCADIA_HOSTING_WINDOW_CLASS")) {
            reinterpret_cast<std::vector<std::string>*>(seen)->push_back(type);
        }
        return TRUE;
    }

    std::atomic<bool> stop_{false};
    std::vector<std::string> seen_;
    std::thread thread_;
};

class GleanwellExe : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        install_ = std::string(temp) + "gleanwell-exe\\Product";
        project_ = install_ + "\\Run.pro";
        SHCreateDirectoryExA(nullptr, (project_ + "\\Data\\Run1").c_str(), nullptr);
        SHCreateDirectoryExA(nullptr, (install_ + "\\InletLogs").c_str(), nullptr);
        WriteFile(install_ + "\\Velmaris.ini", "[Velmaris]\r\nVersion=7\r\n");
        WriteFile(install_ + "\\Gradient.acq", std::string(5000, 'g'));
        WriteFile(install_ + "\\InletLogs\\inlet.log", "valve 1 open\r\n");
        WriteFile(project_ + "\\Run.frc", "F1=tube 1\r\n");
        WriteFile(project_ + "\\Data\\Run1\\trace.txt", "0.0\t1.0\r\n");
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ZentaVeld\\Velmaris", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "Directory", 0, REG_SZ, reinterpret_cast<const BYTE*>(install_.c_str()),
                       static_cast<DWORD>(install_.size() + 1));
        RegSetValueExA(key, "Project", 0, REG_SZ, reinterpret_cast<const BYTE*>(project_.c_str()),
                       static_cast<DWORD>(project_.size() + 1));
        RegCloseKey(key);
    }

    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\ZentaVeld"); }

    // The entry name of a path: without its drive prefix, with forward slashes.
    static std::string EntryName(const std::string& path) {
        std::string name = path.substr(3);
        for (char& c : name) {
            if (c == '\\') {
                c = '/';
            }
        }
        return name;
    }

    std::string install_;
    std::string project_;
};

TEST_F(GleanwellExe, ArchivesItsRowsAndEndsWithTheClosingCommandsId) {
    // The Zentaveld branch exists, the Ostrel branch is gone, and its export
    // from an earlier run is still there.
    testing_support::MachineBranches branches;
    testing_support::MachineBranches::RemoveOstrel();
    const std::string zentaveldExport = install_ + "\\ZentaveldRegistrySettings.reg";
    const std::string ostrelExport = install_ + "\\OstrelRegistrySettings.reg";
    WriteFile(ostrelExport, "earlier run");

    RemoteGleanwell app;
    ASSERT_TRUE(app.Start(ProgramPath(), kWaitMs)) << app.Error();
    // No console belongs to the program, hidden or not.
    EXPECT_EQ(AttachConsoleError(GetProcessId(app.Process())), DWORD{ERROR_INVALID_HANDLE});
    EXPECT_EQ(app.VisibleWindows(), std::vector<HWND>{app.Dialog()});

    const std::vector<RemoteRow> fixed = app.ReadRows();
    const char* expected[6][2] = {
        {"Error Log", "System Error Log"},      {"Registry Settings", "System Registry"},
        {"VLShare", "Shared Memory"},           {"Velmaris Files", "Velmaris"},
        {"Halvorstrand Files", "Halvorstrand"}, {"Inlet Event Logs", "Inlet Event Logs"}};
    ASSERT_EQ(fixed.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(fixed[i].item, expected[i][0]);
        EXPECT_EQ(fixed[i].location, expected[i][1]);
        EXPECT_TRUE(fixed[i].checked);
    }

    const std::string run = project_ + "\\Data\\Run1";
    ASSERT_TRUE(app.AddDataFolder(run, kWaitMs)) << app.Error();
    const std::vector<RemoteRow> rows = app.ReadRows();
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[6].item, "Raw Data");
    EXPECT_EQ(rows[6].location, run);

    std::string boxText;
    ConsoleWindowWatch consoles;
    ASSERT_TRUE(app.PressArchive(120000, boxText)) << app.Error();
    // The registry exports ran without showing a console window.
    EXPECT_EQ(consoles.Stop(), std::vector<std::string>{});
    EXPECT_EQ(AttachConsoleError(GetProcessId(app.Process())), DWORD{ERROR_INVALID_HANDLE});
    EXPECT_EQ(boxText, "Finished archive");
    EXPECT_EQ(GetWindow(app.Box(), GW_OWNER), app.Dialog());
    ASSERT_TRUE(app.DismissBox(kWaitMs)) << app.Error();

    DWORD status = 0;
    ASSERT_TRUE(app.Close(kWaitMs, status)) << app.Error();
    EXPECT_EQ(status, 2u);

    const std::vector<std::string> names = ZipEntryNames(install_ + "\\VelmarisErrorArchive.zip");
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), EntryName(run + "\\trace.txt")); // user rows come first
    EXPECT_TRUE(Contains(names, EntryName(install_ + "\\Velmaris.ini")));
    EXPECT_TRUE(Contains(names, EntryName(install_ + "\\Gradient.acq")));
    EXPECT_TRUE(Contains(names, EntryName(install_ + "\\InletLogs\\inlet.log")));
    EXPECT_TRUE(Contains(names, EntryName(project_ + "\\Run.frc")));
    EXPECT_EQ(names.back(), EntryName(install_ + "\\ZipFailureFile.txt"));

    // This run's export is archived; the gone branch's old one is not.
    EXPECT_TRUE(Contains(names, EntryName(zentaveldExport)));
    EXPECT_FALSE(Contains(names, EntryName(ostrelExport)));
    const std::string report = ReadText(install_ + "\\ZipFailureFile.txt");
    EXPECT_NE(report.find("Success   :- " + zentaveldExport), std::string::npos) << report;
    EXPECT_NE(report.find("Not Found :- " + ostrelExport), std::string::npos) << report;
}

TEST_F(GleanwellExe, EnterOffAButtonEndsWithStatusOneAndEscapeWithTwo) {
    for (UINT key : {VK_RETURN, VK_ESCAPE}) {
        RemoteGleanwell app;
        ASSERT_TRUE(app.Start(ProgramPath(), kWaitMs)) << app.Error();
        HWND list = GetDlgItem(app.Dialog(), 1002);
        PostKey(FocusOfThreadOf(app.Dialog()), VK_TAB);
        for (int i = 0; i < 200 && FocusOfThreadOf(app.Dialog()) != list; ++i) {
            Sleep(20);
        }
        ASSERT_EQ(FocusOfThreadOf(app.Dialog()), list);
        PostKey(list, key);
        DWORD status = 0;
        ASSERT_TRUE(app.Close(kWaitMs, status)) << app.Error();
        EXPECT_EQ(status, key == VK_RETURN ? 1u : 2u);
    }
}

} // namespace
