// The demo run's hands: starts Gleanwell.exe (and, when asked, the status-block
// simulator that stands in for the running product), shows its rows, adds a
// data folder, presses "Archive", reads and dismisses the final box, lets the
// caller take a screenshot, and closes the dialog. Everything it sees goes to
// standard output, the archive run's time (press to final box) included; the
// exit status is 0 only when every step worked.
//
// Usage: demo_driver.exe --exe PATH [--simulator PATH] [--data-folder PATH]
//                        [--shot-ready FILE --shot-done FILE]
//                        [--other-folder PATH] [--archive-timeout-ms N]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "remote_gleanwell.h"

namespace {

constexpr int kStartMs = 30000;
constexpr int kArchiveMs = 600000;
constexpr int kMaxArchiveMs = 24 * 3600 * 1000;
constexpr int kStepMs = 15000;

struct Options {
    std::string exe;
    std::string simulator;
    std::string dataFolder;
    std::string otherFolder;
    std::string shotReady;
    std::string shotDone;
    int archiveMs = kArchiveMs;
};

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--exe") {
            options.exe = value;
        } else if (name == "--simulator") {
            options.simulator = value;
        } else if (name == "--data-folder") {
            options.dataFolder = value;
        } else if (name == "--other-folder") {
            options.otherFolder = value;
        } else if (name == "--shot-ready") {
            options.shotReady = value;
        } else if (name == "--shot-done") {
            options.shotDone = value;
        } else if (name == "--archive-timeout-ms") {
            options.archiveMs = std::atoi(value.c_str());
            if (options.archiveMs <= 0 || options.archiveMs > kMaxArchiveMs) {
                return false;
            }
        } else {
            return false;
        }
    }
    return !options.exe.empty() && (argc % 2) == 1;
}

int Fail(const std::string& what) {
    std::printf("demo: FAILED: %s\n", what.c_str());
    std::fflush(stdout);
    return 1;
}

// The product's stand-in, running until Stop.
class Simulator {
public:
    bool Start(const std::string& exe) {
        ready_ = CreateEventA(nullptr, TRUE, FALSE, "VL_STATUS_SIM_READY");
        stop_ = CreateEventA(nullptr, TRUE, FALSE, "VL_STATUS_SIM_STOP");
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + exe + "\" 16384";
        if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process_)) {
            return false;
        }
        return WaitForSingleObject(ready_, kStepMs) == WAIT_OBJECT_0;
    }
    ~Simulator() {
        if (process_.hProcess != nullptr) {
            SetEvent(stop_);
            if (WaitForSingleObject(process_.hProcess, kStepMs) != WAIT_OBJECT_0) {
                TerminateProcess(process_.hProcess, 1);
            }
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        if (ready_ != nullptr) {
            CloseHandle(ready_);
        }
        if (stop_ != nullptr) {
            CloseHandle(stop_);
        }
    }

private:
    PROCESS_INFORMATION process_{};
    HANDLE ready_ = nullptr;
    HANDLE stop_ = nullptr;
};

// Tells the caller where the dialog is and waits until it has taken its
// screenshot (the caller creates `done`).
void OfferScreenshot(HWND dialog, const Options& options) {
    RECT r{};
    GetWindowRect(dialog, &r);
    std::ofstream ready(options.shotReady);
    ready << (r.right - r.left) << 'x' << (r.bottom - r.top) << '+' << r.left << '+' << r.top
          << '\n';
    ready.close();
    if (!ready) {
        std::printf("demo: cannot write %s\n", options.shotReady.c_str());
        return;
    }
    for (int waited = 0; waited < 60000; waited += 100) {
        if (GetFileAttributesA(options.shotDone.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return;
        }
        Sleep(100);
    }
    std::printf("demo: no screenshot was taken\n");
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: demo_driver --exe PATH [--simulator PATH] "
                             "[--data-folder PATH] [--shot-ready FILE --shot-done FILE] "
                             "[--other-folder PATH] [--archive-timeout-ms N]\n");
        return 2;
    }
    Simulator simulator;
    if (!options.simulator.empty()) {
        if (!simulator.Start(options.simulator)) {
            return Fail("the status-block simulator did not start");
        }
        std::printf("demo: status-block simulator running (VL_STATUS, 16384 bytes)\n");
    }

    RemoteGleanwell app;
    if (!app.Start(options.exe, kStartMs)) {
        return Fail(app.Error());
    }
    std::printf("demo: Gleanwell is up\n");
    if (!options.dataFolder.empty()) {
        if (!app.AddDataFolder(options.dataFolder, kStepMs)) {
            return Fail(app.Error());
        }
        std::printf("demo: Add Data -> %s\n", options.dataFolder.c_str());
    }
    if (!options.otherFolder.empty()) {
        if (!app.AddOtherFolder(options.otherFolder, kStepMs)) {
            return Fail(app.Error());
        }
        std::printf("demo: Add Other -> %s\n", options.otherFolder.c_str());
    }
    std::printf("demo: rows of the collection list:\n");
    for (const RemoteRow& row : app.ReadRows()) {
        std::printf("  [%c] %-20s %s\n", row.checked ? 'x' : ' ', row.item.c_str(),
                    row.location.c_str());
    }
    std::fflush(stdout);

    std::string boxText;
    std::printf("demo: pressing \"Archive\"\n");
    std::fflush(stdout);
    LARGE_INTEGER frequency{};
    LARGE_INTEGER pressed{};
    LARGE_INTEGER boxed{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&pressed);
    if (!app.PressArchive(options.archiveMs, boxText)) {
        return Fail(app.Error());
    }
    QueryPerformanceCounter(&boxed);
    const double runMs = 1000.0 * static_cast<double>(boxed.QuadPart - pressed.QuadPart) /
                         static_cast<double>(frequency.QuadPart);
    std::printf("demo: message box \"Archive\": %s\n", boxText.c_str());
    std::printf("demo: archive run took %.0f ms\n", runMs);
    if (!app.DismissBox(kStepMs)) {
        return Fail(app.Error());
    }
    std::printf("demo: box dismissed\n");
    std::fflush(stdout);

    if (!options.shotReady.empty() && !options.shotDone.empty()) {
        OfferScreenshot(app.Dialog(), options);
    }

    DWORD status = 0;
    if (!app.Close(kStepMs, status)) {
        return Fail(app.Error());
    }
    std::printf("demo: dialog closed, Gleanwell exited with status %lu\n", status);
    std::fflush(stdout);
    return boxText == "Finished archive" && status == 2 ? 0 : 1;
}
