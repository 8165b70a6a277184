// The main dialog driven as a user would: the program's run on this thread, a
// script on a second thread posting keys and clicks and reading the result.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/app_module.h"
#include "app/app_run.h"
#include "app/main_dialog.h"
#include "app/resource_ids.h"
#include "settings/install_locations.h"
#include "browser_select.h"
#include "drive_dialog.h"
#include "ui_wait.h"

namespace {

constexpr int kWaitMs = 10000;

std::string RowText(HWND list, int row, int column) {
    char text[512] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

bool RowChecked(HWND list, int row) {
    return SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) ==
           INDEXTOSTATEIMAGEMASK(2);
}

int RowCount(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

class MainDialogRun : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
        InitCommonControlsEx(&controls);
        ASSERT_EQ(module_.Init(GetModuleHandleA(nullptr)), S_OK);
        RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\ZentaVeld");
    }

    void TearDown() override {
        module_.Term();
        RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\ZentaVeld");
        CoUninitialize();
    }

    // Runs the program here while `script` drives the shown dialog; returns
    // the run's result.
    int RunWith(const std::function<void(HWND dialog)>& script) {
        return RunWhileDriving("Gleanwell", kWaitMs, script,
                               [] { return RunApplication(SW_SHOW); });
    }

    AppModule module_;
};

TEST_F(MainDialogRun, SixCheckedFixedRowsBeforeTheFirstShowAndFocusOnAbout) {
    MessageLoop loop;
    module_.AddMessageLoop(&loop);
    {
        MainDialog dialog;
        HWND window = dialog.Create(GetModuleHandleA(nullptr));
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(IsWindowVisible(window));
        HWND list = GetDlgItem(window, IDC_COLLECT_LIST);
        const char* expected[6][2] = {
            {"Error Log", "System Error Log"},      {"Registry Settings", "System Registry"},
            {"VLShare", "Shared Memory"},           {"Velmaris Files", "Velmaris"},
            {"Halvorstrand Files", "Halvorstrand"}, {"Inlet Event Logs", "Inlet Event Logs"}};
        ASSERT_EQ(RowCount(list), 6);
        for (int row = 0; row < 6; ++row) {
            EXPECT_EQ(RowText(list, row, 0), expected[row][0]);
            EXPECT_EQ(RowText(list, row, 1), expected[row][1]);
            EXPECT_TRUE(RowChecked(list, row)) << row;
        }
        EXPECT_EQ(dialog.List().FixedRowCount(), 6);
        EXPECT_EQ(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0),
                  LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_BIG, 0), 0);
        EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_SMALL, 0), 0);
        // No default push button: Enter off a button is IDOK for the dialog.
        for (int id : {ID_APP_ABOUT, IDC_ADD_DATA, IDC_ADD_OTHER, IDC_ARCHIVE, IDC_OPTIONS}) {
            const LONG style = GetWindowLongA(GetDlgItem(window, id), GWL_STYLE);
            EXPECT_EQ(style & 0x0F, BS_PUSHBUTTON) << id;
            EXPECT_TRUE(style & WS_TABSTOP) << id;
        }

        // Drops are taken by the list only, not by the rest of the dialog.
        EXPECT_TRUE(GetWindowLongA(list, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
        EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
        // Without an owner the dialog is centred in the work area.
        RECT area{};
        RECT placed{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        GetWindowRect(window, &placed);
        EXPECT_EQ(placed.left, (area.left + area.right) / 2 - (placed.right - placed.left) / 2);
        EXPECT_EQ(placed.top, (area.top + area.bottom) / 2 - (placed.bottom - placed.top) / 2);

        ShowWindow(window, SW_SHOW);
        EXPECT_EQ(GetFocus(), GetDlgItem(window, ID_APP_ABOUT));
        DestroyWindow(window);
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    module_.RemoveMessageLoop();
}

// Takes the list control before the main dialog's initialisation can.
class ListTaker : public SubclassedWindow {
public:
    bool HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) override { return false; }
};
ListTaker* intruder = nullptr;
LRESULT CALLBACK TakeListFirst(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG && intruder->Window() == nullptr) {
        HWND list = GetDlgItem(call->hwnd, IDC_COLLECT_LIST);
        if (list != nullptr) {
            intruder->Attach(list);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainDialogRun, ListThatCannotBeAttachedStaysEmptyAndRefusesDrops) {
    MessageLoop loop;
    module_.AddMessageLoop(&loop);
    ListTaker taken;
    intruder = &taken;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, &TakeListFirst, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    {
        MainDialog dialog;
        HWND window = dialog.Create(GetModuleHandleA(nullptr));
        UnhookWindowsHookEx(hook);
        ASSERT_NE(window, nullptr);
        HWND list = GetDlgItem(window, IDC_COLLECT_LIST);
        ASSERT_EQ(taken.Window(), list);
        EXPECT_EQ(dialog.List().Window(), nullptr);
        EXPECT_EQ(RowCount(list), 0);
        EXPECT_EQ(dialog.List().RowCount(), 0);
        EXPECT_EQ(dialog.List().FixedRowCount(), 6);
        EXPECT_EQ(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0);
        EXPECT_FALSE(GetWindowLongA(list, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
        DestroyWindow(window);
    }
    intruder = nullptr;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    module_.RemoveMessageLoop();
}

TEST_F(MainDialogRun, EscapeEndsWithStatusTwo) {
    const int status = RunWith([](HWND dialog) { PostKey(FocusOfThreadOf(dialog), VK_ESCAPE); });
    EXPECT_EQ(status, 2);
}

TEST_F(MainDialogRun, TheCloseBoxEndsWithStatusTwo) {
    const int status =
        RunWith([](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_EQ(status, 2);
}

TEST_F(MainDialogRun, EnterOnTheListEndsWithStatusOne) {
    const int status = RunWith([](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_COLLECT_LIST);
        EXPECT_EQ(FocusOfThreadOf(dialog), GetDlgItem(dialog, ID_APP_ABOUT));
        PostKey(FocusOfThreadOf(dialog), VK_TAB); // tab order: About, then the list
        for (int i = 0; i < 100 && FocusOfThreadOf(dialog) != list; ++i) {
            Sleep(20);
        }
        EXPECT_EQ(FocusOfThreadOf(dialog), list);
        PostKey(list, VK_RETURN);
    });
    EXPECT_EQ(status, 1);
}

TEST_F(MainDialogRun, ArchiveAndOptionsReactOnlyToPlainClicks) {
    const int status = RunWith([](HWND dialog) {
        for (int id : {IDC_ARCHIVE, IDC_OPTIONS, IDC_ADD_DATA, IDC_ADD_OTHER}) {
            for (int code : {BN_DOUBLECLICKED, BN_SETFOCUS, BN_KILLFOCUS, 1}) {
                DWORD_PTR result = 0;
                // A handled command would open a modal box and not come back.
                EXPECT_TRUE(SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, code),
                                                reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)),
                                                SMTO_NORMAL, 3000, &result))
                    << id << " " << code;
            }
        }
        EXPECT_EQ(WaitForWindow("Options", GetCurrentProcessId(), 200), nullptr);
        EXPECT_EQ(WaitForWindow("Archive", GetCurrentProcessId(), 200), nullptr);
        // A plain click opens the Options dialog.
        PostMessageA(GetDlgItem(dialog, IDC_OPTIONS), BM_CLICK, 0, 0);
        HWND options = WaitForWindow("Options", GetCurrentProcessId(), kWaitMs);
        ASSERT_NE(options, nullptr);
        EXPECT_EQ(GetWindow(options, GW_OWNER), dialog);
        RECT main{};
        RECT box{};
        GetWindowRect(dialog, &main);
        GetWindowRect(options, &box);
        EXPECT_EQ((main.left + main.right) / 2 - (box.right - box.left) / 2, box.left);
        EXPECT_EQ((main.top + main.bottom) / 2 - (box.bottom - box.top) / 2, box.top);
        EXPECT_EQ(FocusOfThreadOf(options), GetDlgItem(options, IDC_INSTALL_DIR));
        PostMessageA(options, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(WaitForWindowGone(options, kWaitMs));
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(status, 2);
}

TEST_F(MainDialogRun, AboutIsCentredOverTheMainDialog) {
    const int status = RunWith([](HWND dialog) {
        PostMessageA(GetDlgItem(dialog, ID_APP_ABOUT), BM_CLICK, 0, 0);
        HWND about = WaitForWindow("About", GetCurrentProcessId(), kWaitMs);
        ASSERT_NE(about, nullptr);
        EXPECT_TRUE(DialogShowsText(about, "Gleanwell Application v1.0\n\n(c) Zentaveld"));
        EXPECT_EQ(GetWindow(about, GW_OWNER), dialog);
        RECT main{};
        RECT box{};
        GetWindowRect(dialog, &main);
        GetWindowRect(about, &box);
        EXPECT_EQ((main.left + main.right) / 2 - (box.right - box.left) / 2, box.left);
        EXPECT_EQ((main.top + main.bottom) / 2 - (box.bottom - box.top) / 2, box.top);
        PostKey(FocusOfThreadOf(about), VK_RETURN); // OK is the box's default button
        EXPECT_TRUE(WaitForWindowGone(about, kWaitMs));
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(status, 2);
}

// Chooses `path` in the open folder browser and presses OK.
void ChooseInBrowser(const std::string& path, std::string* rootItem, bool* statusShown) {
    HWND browser = WaitForWindow("Browse for Folder", GetCurrentProcessId(), kWaitMs);
    ASSERT_NE(browser, nullptr);
    if (rootItem != nullptr) {
        HWND tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
        char text[MAX_PATH] = {};
        TVITEMA item{};
        item.mask = TVIF_TEXT;
        item.hItem = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        *rootItem = text;
    }
    EXPECT_TRUE(SelectFolderInBrowser(GetCurrentProcess(), browser, path));
    if (statusShown != nullptr) {
        *statusShown = DialogShowsText(browser, path);
    }
    PostMessageA(GetDlgItem(browser, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitForWindowGone(browser, kWaitMs));
}

TEST_F(MainDialogRun, AFolderChosenByAddDataAndAgainByAddOtherGivesOneRow) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string project = std::string(temp) + "gleanwell-main-dialog\\Run.pro";
    const std::string data = project + "\\Data";
    const std::string run = data + "\\Run1";
    const std::string other = std::string(temp) + "gleanwell-main-dialog\\Other";
    SHCreateDirectoryExA(nullptr, run.c_str(), nullptr);
    SHCreateDirectoryExA(nullptr, other.c_str(), nullptr);
    StoreProjectFolder(project.c_str());

    const int status = RunWith([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_COLLECT_LIST);
        std::string root;
        bool statusShown = false;
        PostMessageA(GetDlgItem(dialog, IDC_ADD_DATA), BM_CLICK, 0, 0);
        ChooseInBrowser(run, &root, &statusShown);
        EXPECT_EQ(root, "Data"); // rooted at the project's Data folder
        EXPECT_TRUE(statusShown);
        ASSERT_EQ(RowCount(list), 7);
        EXPECT_EQ(RowText(list, 6, 0), "Raw Data");
        EXPECT_EQ(RowText(list, 6, 1), run);
        EXPECT_TRUE(RowChecked(list, 6));

        PostMessageA(GetDlgItem(dialog, IDC_ADD_OTHER), BM_CLICK, 0, 0);
        ChooseInBrowser(run, nullptr, nullptr);
        EXPECT_EQ(RowCount(list), 7);
        EXPECT_EQ(RowText(list, 6, 0), "Raw Data");

        PostMessageA(GetDlgItem(dialog, IDC_ADD_OTHER), BM_CLICK, 0, 0);
        ChooseInBrowser(other, nullptr, nullptr);
        ASSERT_EQ(RowCount(list), 8);
        EXPECT_EQ(RowText(list, 7, 0), "Other");
        EXPECT_EQ(RowText(list, 7, 1), other);

        PostMessageA(GetDlgItem(dialog, IDC_ADD_DATA), BM_CLICK, 0, 0);
        ChooseInBrowser(run, nullptr, nullptr);
        EXPECT_EQ(RowCount(list), 8);

        // Cancelling the browser adds nothing.
        PostMessageA(GetDlgItem(dialog, IDC_ADD_OTHER), BM_CLICK, 0, 0);
        HWND browser = WaitForWindow("Browse for Folder", GetCurrentProcessId(), kWaitMs);
        ASSERT_NE(browser, nullptr);
        PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(WaitForWindowGone(browser, kWaitMs));
        EXPECT_EQ(RowCount(list), 8);
        PostKey(FocusOfThreadOf(dialog), VK_ESCAPE);
    });
    EXPECT_EQ(status, 2);
}

} // namespace
