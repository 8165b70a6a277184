#pragma once
// Test support: runs file_rival.exe (built beside the test programs) for the
// life of the object: another program writing, holding or deleting files
// while an archive run reads them.

#include <string>
#include <vector>

#include <windows.h>

namespace testing_support {

class FileRival {
public:
    /* Starts the rival in `mode` with `arguments` (its command line without
       the event names, which are added here) and waits until it says it is
       in place; Ready() tells whether that worked. `stoppable` is true for
       the modes that run until they are told to stop. */
    FileRival(const std::string& mode, const std::vector<std::string>& arguments, bool stoppable)
        : stoppable_(stoppable) {
        static int serial = 0;
        const std::string base = "GleanwellRival_" + std::to_string(GetCurrentProcessId()) + "_" +
                                 std::to_string(++serial);
        ready_ = CreateEventA(nullptr, TRUE, FALSE, (base + "_ready").c_str());
        stop_ = CreateEventA(nullptr, TRUE, FALSE, (base + "_stop").c_str());
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        std::string program = self;
        program = program.substr(0, program.find_last_of('\\') + 1) + "file_rival.exe";
        std::string commandLine = "file_rival.exe " + mode;
        for (const std::string& argument : arguments) {
            commandLine += " \"" + argument + "\"";
        }
        commandLine += " " + base + "_ready";
        if (stoppable_) {
            commandLine += " " + base + "_stop";
        }
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &process_)) {
            CloseHandle(process_.hThread);
            HANDLE waits[2] = {ready_, process_.hProcess};
            ready_seen_ = WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
        }
    }

    ~FileRival() {
        if (process_.hProcess != nullptr) {
            if (Finish(10000) < 0) {
                TerminateProcess(process_.hProcess, 1);
                WaitForSingleObject(process_.hProcess, 10000);
            }
            CloseHandle(process_.hProcess);
        }
        CloseHandle(stop_);
        CloseHandle(ready_);
    }

    FileRival(const FileRival&) = delete;
    FileRival& operator=(const FileRival&) = delete;

    /* Tells a stoppable rival to stop and waits up to `timeoutMs` for it to
       end. Returns its exit code, or -1 when it is still running. */
    int Finish(int timeoutMs) {
        if (stoppable_) {
            SetEvent(stop_);
        }
        DWORD code = 0;
        if (process_.hProcess == nullptr ||
            WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs)) !=
                WAIT_OBJECT_0 ||
            !GetExitCodeProcess(process_.hProcess, &code)) {
            return -1;
        }
        return static_cast<int>(code);
    }

    /* True once the rival said it is in place. */
    bool Ready() const { return ready_seen_; }

private:
    bool stoppable_;
    bool ready_seen_ = false;
    HANDLE ready_ = nullptr;
    HANDLE stop_ = nullptr;
    PROCESS_INFORMATION process_ = {};
};

} // namespace testing_support
