#pragma once
// Test support: runs status_block_sim.exe (built beside the test programs)
// for the life of the object, so "VL_STATUS" exists with a known pattern.

#include <string>

#include <windows.h>

namespace testing_support {

class StatusBlockSimulator {
public:
    /* Starts the simulator with a block of `size` bytes and waits until it
       says the block is ready; Running() tells whether that worked. */
    explicit StatusBlockSimulator(unsigned long size) {
        ready_ = CreateEventA(nullptr, TRUE, FALSE, "VL_STATUS_SIM_READY");
        stop_ = CreateEventA(nullptr, TRUE, FALSE, "VL_STATUS_SIM_STOP");
        ResetEvent(ready_);
        ResetEvent(stop_);
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        std::string program = self;
        program = program.substr(0, program.find_last_of('\\') + 1) + "status_block_sim.exe";
        std::string commandLine = "status_block_sim.exe " + std::to_string(size);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &process_)) {
            CloseHandle(process_.hThread);
            HANDLE waits[2] = {ready_, process_.hProcess};
            running_ = WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
        }
    }

    ~StatusBlockSimulator() {
        SetEvent(stop_);
        if (process_.hProcess != nullptr) {
            if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
                TerminateProcess(process_.hProcess, 1);
                WaitForSingleObject(process_.hProcess, 10000);
            }
            CloseHandle(process_.hProcess);
        }
        CloseHandle(stop_);
        CloseHandle(ready_);
    }

    StatusBlockSimulator(const StatusBlockSimulator&) = delete;
    StatusBlockSimulator& operator=(const StatusBlockSimulator&) = delete;

    bool Running() const { return running_; }

    /* The byte the simulator puts at `offset`. */
    static unsigned char PatternAt(unsigned long offset) {
        return static_cast<unsigned char>(offset % 251);
    }

private:
    HANDLE ready_ = nullptr;
    HANDLE stop_ = nullptr;
    PROCESS_INFORMATION process_ = {};
    bool running_ = false;
};

} // namespace testing_support
