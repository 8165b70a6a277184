// A program whose main dialog template cannot be loaded ends at once with
// status 0 and leaves no window behind. This test program carries no
// resources, so template 129 is missing.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "app/app_module.h"
#include "app/app_run.h"

namespace {

BOOL CALLBACK CountVisible(HWND window, LPARAM count) {
    if (IsWindowVisible(window)) {
        ++*reinterpret_cast<int*>(count);
    }
    return TRUE;
}

TEST(MissingTemplate, RunEndsWithStatusZeroAndNoWindow) {
    CoInitialize(nullptr);
    AppModule module;
    ASSERT_EQ(module.Init(GetModuleHandleA(nullptr)), S_OK);
    EXPECT_EQ(RunApplication(SW_SHOW), 0);
    int visible = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountVisible, reinterpret_cast<LPARAM>(&visible));
    EXPECT_EQ(visible, 0);
    EXPECT_EQ(module.GetMessageLoop(), nullptr);
    module.Term();
    CoUninitialize();
}

} // namespace
