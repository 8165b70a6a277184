#pragma once
// In-process UI tests: the program's code runs on the test's own thread while
// a second thread drives the dialog it shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "ui_wait.h"

/* Calls `run` on this thread while `script` drives, from a second thread, the
   dialog captioned `caption` that this process shows. A dialog that does not
   appear within `waitMs` fails the test; one the script leaves open fails it
   too and is closed with IDCANCEL, so a failing test cannot hang. Returns
   `run`'s result. */
inline int RunWhileDriving(const char* caption, int waitMs,
                           const std::function<void(HWND dialog)>& script,
                           const std::function<int()>& run) {
    std::thread driver([&] {
        HWND dialog = WaitForWindow(caption, GetCurrentProcessId(), waitMs);
        EXPECT_NE(dialog, nullptr);
        if (dialog == nullptr) {
            return;
        }
        script(dialog);
        if (!WaitForWindowGone(dialog, 5000)) {
            ADD_FAILURE() << "the dialog was left open";
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    });
    const int result = run();
    driver.join();
    return result;
}
