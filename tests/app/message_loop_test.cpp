// The message loop's idle re-arm rule, its filters and its result; the module's
// thread map.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/app_module.h"
#include "app/message_loop.h"

namespace {

// Records every idle pass and runs a script step on each.
struct ScriptedIdle : IdleHandler {
    int calls = 0;
    void (*step)(int call) = nullptr;
    bool OnIdle() override {
        ++calls;
        if (step != nullptr) {
            step(calls);
        }
        return true; // asks for more: the loop still gives one pass per arming
    }
};

// Records the messages it sees and consumes the ones it is told to.
struct RecordingFilter : MessageFilter {
    std::vector<UINT> seen;
    UINT consume = 0;
    bool PreTranslateMessage(MSG* msg) override {
        seen.push_back(msg->message);
        return msg->message == consume;
    }
};

ScriptedIdle* idle = nullptr;
int passesWhenTimerFired = -1;

// Ends the loop from the thread timer, noting how many idle passes ran.
struct TimerQuit : MessageFilter {
    bool PreTranslateMessage(MSG* msg) override {
        if (msg->message != WM_TIMER) {
            return false;
        }
        KillTimer(nullptr, msg->wParam);
        passesWhenTimerFired = idle->calls;
        PostQuitMessage(7);
        return true;
    }
};

void PostToThread(UINT message, int times) {
    for (int i = 0; i < times; ++i) {
        PostThreadMessageA(GetCurrentThreadId(), message, 0, 0);
    }
}

TEST(MessageLoop, OneIdlePassPerArmingAndNoneForMouseMovesPaintsOrTimerTicks) {
    MessageLoop loop;
    ScriptedIdle handler;
    idle = &handler;
    handler.step = [](int call) {
        if (call == 1) {
            PostToThread(WM_APP, 2); // two re-arms before the queue runs dry: one pass
        } else if (call == 2) {
            PostToThread(WM_MOUSEMOVE, 5);
            PostToThread(WM_NCMOUSEMOVE, 3);
            PostToThread(WM_PAINT, 3);
            PostToThread(0x0118, 2);
            SetTimer(nullptr, 0, 100, nullptr);
        }
    };
    TimerQuit quitter;
    ASSERT_TRUE(loop.AddIdleHandler(&handler));
    ASSERT_TRUE(loop.AddMessageFilter(&quitter));
    EXPECT_EQ(loop.Run(), 7);
    EXPECT_EQ(passesWhenTimerFired, 2);
    EXPECT_EQ(handler.calls, 2);
}

TEST(MessageLoop, FiltersAreAskedNewestFirstAndAConsumedMessageStops) {
    MessageLoop loop;
    RecordingFilter older;
    RecordingFilter newer;
    older.consume = WM_APP + 2;
    newer.consume = WM_APP + 1;
    ASSERT_TRUE(loop.AddMessageFilter(&older));
    ASSERT_TRUE(loop.AddMessageFilter(&newer));
    PostToThread(WM_APP + 1, 1);
    PostToThread(WM_APP + 2, 1);
    PostToThread(WM_APP + 3, 1);
    PostQuitMessage(3);
    EXPECT_EQ(loop.Run(), 3);
    EXPECT_EQ(newer.seen, (std::vector<UINT>{WM_APP + 1, WM_APP + 2, WM_APP + 3}));
    EXPECT_EQ(older.seen, (std::vector<UINT>{WM_APP + 2, WM_APP + 3}));
    EXPECT_EQ(loop.CurrentMessage().message, static_cast<UINT>(WM_QUIT));
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        SetWindowLongPtrA(window, GWLP_USERDATA, GetWindowLongPtrA(window, GWLP_USERDATA) + 1);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(MessageLoop, UnfilteredMessagesAreDispatchedAndManyHandlersAndFiltersFit) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &CountingProc;
    wc.lpszClassName = "GleanwellLoopTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    MessageLoop loop;
    RecordingFilter filters[9];
    ScriptedIdle handlers[9];
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(loop.AddMessageFilter(&filters[i]));
        ASSERT_TRUE(loop.AddIdleHandler(&handlers[i]));
    }
    PostMessageA(window, WM_APP, 0, 0);
    PostMessageA(window, WM_APP, 0, 0);
    PostQuitMessage(0);
    EXPECT_EQ(loop.Run(), 0);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 2);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(filters[i].seen.size(), 2u);
        EXPECT_EQ(handlers[i].calls, handlers[0].calls);
    }
    DestroyWindow(window);
}

// A thread that registers its own loop, then waits to be told to leave.
struct LoopThread {
    AppModule* module = nullptr;
    MessageLoop loop;
    HANDLE registered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE leave = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool removed = false;
    DWORD id = 0;
    HANDLE thread = nullptr;

    static DWORD WINAPI Main(void* param) {
        auto* self = static_cast<LoopThread*>(param);
        self->module->AddMessageLoop(&self->loop);
        SetEvent(self->registered);
        WaitForSingleObject(self->leave, INFINITE);
        self->removed = self->module->RemoveMessageLoop();
        return 0;
    }
};

TEST(AppModule, MapsEachThreadToItsLoopAndTearsDownTheBindingStack) {
    AppModule module;
    ASSERT_EQ(module.Init(GetModuleHandleA(nullptr)), S_OK);
    EXPECT_EQ(AppModule::Current(), &module);
    EXPECT_EQ(module.MainThreadId(), GetCurrentThreadId());
    EXPECT_NE(WindowBindings::Process(), nullptr);

    MessageLoop mine;
    EXPECT_EQ(module.GetMessageLoop(), nullptr);
    ASSERT_TRUE(module.AddMessageLoop(&mine));
    EXPECT_FALSE(module.AddMessageLoop(&mine)); // one loop per thread
    EXPECT_EQ(module.GetMessageLoop(), &mine);

    // More threads than the map's first capacity, registered one at a time.
    LoopThread others[6];
    for (LoopThread& t : others) {
        t.module = &module;
        t.thread = CreateThread(nullptr, 0, &LoopThread::Main, &t, 0, &t.id);
        ASSERT_NE(t.thread, nullptr);
        WaitForSingleObject(t.registered, INFINITE);
    }
    for (LoopThread& t : others) {
        EXPECT_EQ(module.GetMessageLoop(t.id), &t.loop);
    }
    // Leaving from the middle shifts the tail down; the rest stay found.
    bool gone[6] = {};
    for (int i : {2, 0, 5, 1, 4, 3}) {
        SetEvent(others[i].leave);
        WaitForSingleObject(others[i].thread, INFINITE);
        gone[i] = true;
        EXPECT_TRUE(others[i].removed);
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(module.GetMessageLoop(others[j].id), gone[j] ? nullptr : &others[j].loop);
        }
    }
    for (LoopThread& t : others) {
        CloseHandle(t.thread);
        CloseHandle(t.registered);
        CloseHandle(t.leave);
    }
    EXPECT_EQ(module.GetMessageLoop(), &mine);
    EXPECT_TRUE(module.RemoveMessageLoop());
    EXPECT_FALSE(module.RemoveMessageLoop());
    EXPECT_EQ(module.GetMessageLoop(), nullptr);

    module.Term();
    EXPECT_EQ(AppModule::Current(), nullptr);
    EXPECT_EQ(WindowBindings::Process(), nullptr);
}

} // namespace
