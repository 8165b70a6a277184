// Window objects under a real window manager stand-in: dialogs from real
// templates bound on their first message, the return-value rule as the
// system sees it, and a real list-view control subclassed and destroyed.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/window_object.h"
#include "window_test_ids.h"

namespace {

constexpr WORD kStoredCommand = 4242;
constexpr LRESULT kInitResult = 0x55;

class RecordingDialog : public DialogWindow {
public:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
        ++messages;
        switch (message) {
        case WM_INITDIALOG:
            sawInit = true;
            if (closeOnInit) {
                PostMessageA(Window(), WM_COMMAND, IDOK, 0);
            }
            result = kInitResult;
            return true;
        case WM_COMMAND:
            if (LOWORD(wParam) == kStoredCommand) {
                result = 77;
                return true;
            }
            if (LOWORD(wParam) == IDOK) {
                EndDialog(Window(), 7);
                return true;
            }
            return false;
        case WM_CTLCOLORDLG:
            result = 0x1234;
            return true;
        case WM_QUERYDRAGICON:
            result = 0x4321;
            return true;
        case WM_APP:
            result = 5;
            return true;
        default:
            return false;
        }
    }
    void OnFinalMessage(HWND window) override {
        finalWindow = window;
        ++finals;
    }

    int messages = 0;
    bool sawInit = false;
    bool closeOnInit = false;
    HWND finalWindow = nullptr;
    int finals = 0;
};

class WindowObjectTest : public ::testing::Test {
protected:
    void SetUp() override { bindings_.Init(); }
    void TearDown() override { bindings_.Delete(); }
    static HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

    WindowBindings bindings_;
};

struct Dummy : DialogWindow {
    bool HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) override { return false; }
};

TEST_F(WindowObjectTest, TakesTheNewestRecordOfTheCallingThreadOnly) {
    Dummy other, older, newer;
    WindowBinding otherThread{&other, GetCurrentThreadId() + 1, nullptr};
    WindowBinding first{&older, GetCurrentThreadId(), nullptr};
    WindowBinding second{&newer, GetCurrentThreadId(), nullptr};
    bindings_.Push(&otherThread);
    bindings_.Push(&first);
    bindings_.Push(&second);

    EXPECT_EQ(bindings_.TakeForCurrentThread(), &newer);
    EXPECT_EQ(bindings_.TakeForCurrentThread(), &older);
    EXPECT_EQ(bindings_.TakeForCurrentThread(), nullptr);
    EXPECT_TRUE(bindings_.Remove(&otherThread));
    EXPECT_FALSE(bindings_.Remove(&otherThread));
}

TEST_F(WindowObjectTest, DialogIsBoundOnItsFirstMessage) {
    RecordingDialog dialog;
    HWND window = dialog.CreateModeless(Instance(), IDD_TEST_POPUP, nullptr);
    ASSERT_NE(window, nullptr) << GetLastError();
    EXPECT_EQ(dialog.Window(), window);
    EXPECT_EQ(WindowObject::FromWindow(window), &dialog);
    EXPECT_TRUE(dialog.sawInit);
    // The record was consumed by the window, not left for the next dialog.
    EXPECT_EQ(bindings_.TakeForCurrentThread(), nullptr);

    // A second dialog binds to its own object.
    RecordingDialog second;
    HWND secondWindow = second.CreateModeless(Instance(), IDD_TEST_POPUP, window);
    ASSERT_NE(secondWindow, nullptr);
    EXPECT_EQ(WindowObject::FromWindow(secondWindow), &second);
    EXPECT_EQ(WindowObject::FromWindow(window), &dialog);
    DestroyWindow(secondWindow);
    DestroyWindow(window);
}

TEST_F(WindowObjectTest, HandledMessagesFollowTheReturnValueRule) {
    RecordingDialog dialog;
    HWND window = dialog.CreateModeless(Instance(), IDD_TEST_POPUP, nullptr);
    ASSERT_NE(window, nullptr);

    // WM_COMMAND: the result goes to DWLP_MSGRESULT and the procedure says TRUE.
    SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
    EXPECT_EQ(DialogWindow::DialogEntry(window, WM_COMMAND, kStoredCommand, 0), TRUE);
    EXPECT_EQ(GetWindowLongPtrA(window, DWLP_MSGRESULT), 77);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, kStoredCommand, 0), 77);
    EXPECT_EQ(SendMessageA(window, WM_APP, 0, 0), 5);

    // The listed messages give the handler's result itself, untouched.
    SetWindowLongPtrA(window, DWLP_MSGRESULT, 99);
    EXPECT_EQ(DialogWindow::DialogEntry(window, WM_INITDIALOG, 0, 0), kInitResult);
    EXPECT_EQ(DialogWindow::DialogEntry(window, WM_QUERYDRAGICON, 0, 0), 0x4321);
    EXPECT_EQ(GetWindowLongPtrA(window, DWLP_MSGRESULT), 99);
    EXPECT_EQ(SendMessageA(window, WM_CTLCOLORDLG, 0, 0), 0x1234);

    // Unhandled messages are left to default dialog processing.
    EXPECT_EQ(DialogWindow::DialogEntry(window, WM_USER + 7, 0, 0), FALSE);
    EXPECT_EQ(DialogWindow::DialogEntry(window, WM_COMMAND, 4243, 0), FALSE);
    DestroyWindow(window);
}

TEST_F(WindowObjectTest, DestroyedDialogIsForgottenAndNotifiedOnce) {
    RecordingDialog dialog;
    HWND window = dialog.CreateModeless(Instance(), IDD_TEST_POPUP, nullptr);
    ASSERT_NE(window, nullptr);
    DestroyWindow(window);
    EXPECT_EQ(dialog.Window(), nullptr);
    EXPECT_EQ(dialog.finals, 1);
    EXPECT_EQ(dialog.finalWindow, window);

    // The object can own a new window afterwards.
    HWND again = dialog.CreateModeless(Instance(), IDD_TEST_POPUP, nullptr);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(dialog.Window(), again);
    DestroyWindow(again);
}

TEST_F(WindowObjectTest, ModalDialogReturnsItsEndValue) {
    RecordingDialog dialog;
    dialog.closeOnInit = true;
    EXPECT_EQ(dialog.RunModal(Instance(), IDD_TEST_POPUP, nullptr), 7);
    EXPECT_EQ(dialog.Window(), nullptr);
    EXPECT_EQ(dialog.finals, 1);
}

TEST_F(WindowObjectTest, FailedCreationLeavesNoPendingRecord) {
    RecordingDialog dialog;
    EXPECT_EQ(dialog.CreateModeless(Instance(), 9999, nullptr), nullptr);
    EXPECT_EQ(dialog.RunModal(Instance(), 9999, nullptr), -1);
    EXPECT_EQ(bindings_.TakeForCurrentThread(), nullptr);
    EXPECT_FALSE(dialog.sawInit);
}

TEST(WindowObjectWithoutBindings, NoDialogIsCreatedWithoutTheBindingStack) {
    RecordingDialog dialog;
    EXPECT_EQ(dialog.CreateModeless(GetModuleHandleA(nullptr), IDD_TEST_POPUP, nullptr), nullptr);
    EXPECT_EQ(FindWindowA("#32770", "Binding test"), nullptr);
}

// A subclassed list-view control that takes WM_APP and records its end.
class RecordingControl : public SubclassedWindow {
public:
    bool HandleMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override {
        if (message == WM_APP) {
            result = 31;
            return true;
        }
        return false;
    }
    void OnFinalMessage(HWND window) override {
        ++finals;
        // The control still exists here: its procedure must already be back.
        procedureAtEnd = GetWindowLongPtrA(window, GWLP_WNDPROC);
    }
    int finals = 0;
    LONG_PTR procedureAtEnd = 0;
};

class SubclassTest : public WindowObjectTest {
protected:
    void SetUp() override {
        WindowObjectTest::SetUp();
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&classes);
        dialogWindow_ = dialog_.CreateModeless(Instance(), IDD_TEST_LIST, nullptr);
        ASSERT_NE(dialogWindow_, nullptr);
        list_ = GetDlgItem(dialogWindow_, IDC_TEST_LIST);
        ASSERT_NE(list_, nullptr);
        original_ = GetWindowLongPtrA(list_, GWLP_WNDPROC);
    }
    void TearDown() override {
        if (IsWindow(dialogWindow_)) {
            DestroyWindow(dialogWindow_);
        }
        WindowObjectTest::TearDown();
    }

    RecordingDialog dialog_;
    HWND dialogWindow_ = nullptr;
    HWND list_ = nullptr;
    LONG_PTR original_ = 0;
};

TEST_F(SubclassTest, HandledMessagesStayAndOthersReachTheControl) {
    RecordingControl control;
    ASSERT_TRUE(control.Attach(list_));
    EXPECT_EQ(control.Window(), list_);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(control.PreviousProcedure()), original_);
    EXPECT_EQ(SendMessageA(list_, WM_APP, 0, 0), 31);

    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.pszText = const_cast<char*>("row");
    EXPECT_EQ(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), 0);
    EXPECT_EQ(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0), 1);
}

TEST_F(SubclassTest, DestroyedControlGetsItsProcedureBack) {
    RecordingControl control;
    ASSERT_TRUE(control.Attach(list_));
    ASSERT_NE(GetWindowLongPtrA(list_, GWLP_WNDPROC), original_);
    DestroyWindow(dialogWindow_);
    EXPECT_EQ(control.finals, 1);
    EXPECT_EQ(control.procedureAtEnd, original_);
    EXPECT_EQ(control.Window(), nullptr);
    EXPECT_EQ(control.PreviousProcedure(), nullptr);
}

TEST_F(SubclassTest, AttachFailsCleanly) {
    RecordingControl control;
    EXPECT_FALSE(control.Attach(nullptr));
    EXPECT_FALSE(control.Attach(reinterpret_cast<HWND>(0x1234)));
    EXPECT_EQ(control.Window(), nullptr);

    RecordingControl first;
    ASSERT_TRUE(first.Attach(list_));
    // A control that already has an object is refused and keeps its object.
    EXPECT_FALSE(control.Attach(list_));
    EXPECT_EQ(control.Window(), nullptr);
    EXPECT_EQ(WindowObject::FromWindow(list_), &first);
    EXPECT_EQ(SendMessageA(list_, WM_APP, 0, 0), 31);
    EXPECT_EQ(control.finals, 0);
}

TEST_F(SubclassTest, ObjectGoneBeforeItsControlRestoresTheProcedure) {
    {
        RecordingControl control;
        ASSERT_TRUE(control.Attach(list_));
    }
    EXPECT_EQ(GetWindowLongPtrA(list_, GWLP_WNDPROC), original_);
    EXPECT_EQ(WindowObject::FromWindow(list_), nullptr);
    EXPECT_EQ(SendMessageA(list_, WM_APP, 0, 0), 0);
}

WNDPROC laterPrevious = nullptr;
LRESULT CALLBACK LaterSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(laterPrevious, window, message, wParam, lParam);
}

TEST_F(SubclassTest, ObjectGoneUnderALaterSubclassLeavesTheControlWorking) {
    {
        RecordingControl control;
        ASSERT_TRUE(control.Attach(list_));
        laterPrevious = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LaterSubclass)));
    }
    // The later subclass still calls ours, which now hands everything on.
    EXPECT_EQ(SendMessageA(list_, WM_APP, 0, 0), 0);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.pszText = const_cast<char*>("row");
    EXPECT_EQ(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), 0);
    EXPECT_EQ(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_TRUE(DestroyWindow(dialogWindow_));
}

} // namespace
