// The Options dialog driven from a second thread: what it shows, and what it
// stores after OK, Cancel and the folder browser.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "app/browser_select.h"
#include "app/drive_dialog.h"
#include "app/resource_ids.h"
#include "app/ui_wait.h"
#include "settings/install_locations.h"
#include "settings/options_dialog.h"

namespace {

constexpr int kWaitMs = 10000;
const char kProductKey[] = "SOFTWARE\\ZentaVeld\\Velmaris";

// The stored value, or "<none>" when there is none.
std::string Stored(const char* name) {
    char value[512] = {};
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, kProductKey, name, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
        return "<none>";
    }
    return value;
}

std::string BoxText(HWND dialog, int id) {
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

class OptionsRun : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
        InitCommonControlsEx(&controls);
        bindings_.Init();
        RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\ZentaVeld");
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        base_ = std::string(temp) + "gleanwell-options";
        SHCreateDirectoryExA(nullptr, (base_ + "\\Work.pro").c_str(), nullptr);
        SHCreateDirectoryExA(nullptr, (base_ + "\\Picked.pro").c_str(), nullptr);
    }

    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\ZentaVeld");
        if (madeDefaults_) {
            RemoveDirectoryA("C:\\Velmaris\\Default.pro");
            RemoveDirectoryA("C:\\Velmaris");
        }
        bindings_.Delete();
        CoUninitialize();
    }

    // Runs the dialog here while `script` drives it from a second thread.
    void RunWith(const std::function<void(HWND dialog)>& script) {
        RunWhileDriving("Options", kWaitMs, script, [] {
            OptionsDialog options;
            options.Run(GetModuleHandleA(nullptr));
            return 0;
        });
    }

    static void Type(HWND dialog, const std::string& text) {
        SendMessageA(GetDlgItem(dialog, IDC_PROJECT_DIR), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(text.c_str()));
    }
    static void Press(HWND dialog, int id) { PostMessageA(dialog, WM_COMMAND, id, 0); }

    // Makes the default folders exist for this test; false when they were
    // there already (the test then cannot tell them apart).
    bool MakeDefaultFolders() {
        if (GetFileAttributesA("C:\\Velmaris") != INVALID_FILE_ATTRIBUTES) {
            return false;
        }
        madeDefaults_ = SHCreateDirectoryExA(nullptr, "C:\\Velmaris\\Default.pro", nullptr) == 0;
        return madeDefaults_;
    }

    WindowBindings bindings_;
    std::string base_;
    bool madeDefaults_ = false;
};

TEST_F(OptionsRun, ShowsTheDefaultsWithNoSettingsAndCancelStoresNothing) {
    RunWith([](HWND dialog) {
        EXPECT_EQ(BoxText(dialog, IDC_INSTALL_DIR), "C:\\Velmaris\\");
        EXPECT_EQ(BoxText(dialog, IDC_PROJECT_DIR), "C:\\Velmaris\\Default.pro\\");
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, IDC_INSTALL_DIR), GWL_STYLE) & ES_READONLY);
        EXPECT_EQ(FocusOfThreadOf(dialog), GetDlgItem(dialog, IDC_INSTALL_DIR));
        Press(dialog, IDCANCEL);
    });
    EXPECT_EQ(Stored("Directory"), "<none>");
    EXPECT_EQ(Stored("Project"), "<none>");
}

TEST_F(OptionsRun, OkStoresExistingFoldersWithoutTheirTrailingBackslash) {
    if (!MakeDefaultFolders()) {
        GTEST_SKIP() << "C:\\Velmaris exists already";
    }
    RunWith([](HWND dialog) { Press(dialog, IDOK); });
    EXPECT_EQ(Stored("Directory"), "C:\\Velmaris");
    EXPECT_EQ(Stored("Project"), "C:\\Velmaris\\Default.pro");
}

TEST_F(OptionsRun, OkWithMissingFoldersStoresNothing) {
    if (GetFileAttributesA("C:\\Velmaris") != INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "C:\\Velmaris exists";
    }
    RunWith([](HWND dialog) { Press(dialog, IDOK); });
    EXPECT_EQ(Stored("Directory"), "<none>");
    EXPECT_EQ(Stored("Project"), "<none>");
}

TEST_F(OptionsRun, ATypedFolderWithOrWithoutTrailingBackslashStoresTheSameValue) {
    const std::string work = base_ + "\\Work.pro";
    RunWith([&](HWND dialog) {
        Type(dialog, work + "\\");
        Press(dialog, IDOK);
    });
    EXPECT_EQ(Stored("Project"), work);
    RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\ZentaVeld");
    RunWith([&](HWND dialog) {
        Type(dialog, work);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(Stored("Project"), work);
    // The next Options shows what the settings read back.
    RunWith([&](HWND dialog) {
        EXPECT_EQ(BoxText(dialog, IDC_PROJECT_DIR), work + "\\");
        Press(dialog, IDCANCEL);
    });
}

TEST_F(OptionsRun, AMissingFolderAnEmptiedBoxAndCancelStoreNothing) {
    const std::string work = base_ + "\\Work.pro";
    StoreProjectFolder(work.c_str());
    ASSERT_EQ(Stored("Project"), work);
    RunWith([&](HWND dialog) {
        Type(dialog, base_ + "\\Missing.pro");
        Press(dialog, IDOK);
    });
    EXPECT_EQ(Stored("Project"), work);
    RunWith([&](HWND dialog) {
        Type(dialog, "");
        Press(dialog, IDOK);
    });
    EXPECT_EQ(Stored("Project"), work);
    RunWith([&](HWND dialog) {
        Type(dialog, base_ + "\\Picked.pro");
        Press(dialog, IDCANCEL);
    });
    EXPECT_EQ(Stored("Project"), work);
}

TEST_F(OptionsRun, BrowsingReplacesTheProjectBoxAndCancelThenStoresNothing) {
    const std::string picked = base_ + "\\Picked.pro";
    for (int button : {IDCANCEL, IDOK}) {
        RunWith([&](HWND dialog) {
            Type(dialog, "typed before browsing");
            PostMessageA(GetDlgItem(dialog, IDC_BROWSE_PROJECT), BM_CLICK, 0, 0);
            HWND browser = WaitForWindow("Browse for Folder", GetCurrentProcessId(), kWaitMs);
            ASSERT_NE(browser, nullptr);
            EXPECT_TRUE(SelectFolderInBrowser(GetCurrentProcess(), browser, picked));
            PostMessageA(GetDlgItem(browser, IDOK), BM_CLICK, 0, 0);
            EXPECT_TRUE(WaitForWindowGone(browser, kWaitMs));
            EXPECT_EQ(BoxText(dialog, IDC_PROJECT_DIR), picked);
            EXPECT_EQ(BoxText(dialog, IDC_INSTALL_DIR), "C:\\Velmaris\\");
            Press(dialog, button);
        });
        EXPECT_EQ(Stored("Project"), button == IDOK ? picked : "<none>");
    }
}

// A box that cannot be read: the beep-and-focus rule stops the exchange there.
class BrokenBoxOptions : public OptionsDialog {
public:
    bool exchanged = true;
    std::string projectAfter;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WM_APP) {
            DestroyWindow(GetDlgItem(Window(), IDC_INSTALL_DIR));
            SetDlgItemTextA(Window(), IDC_PROJECT_DIR, "C:\\Elsewhere");
            exchanged = ExchangeValues(false, -1);
            const char* project = ProjectFolderText().Narrow();
            projectAfter = project != nullptr ? project : "<none>";
            EndDialog(Window(), IDCANCEL);
            return true;
        }
        return OptionsDialog::HandleMessage(message, wParam, lParam, result);
    }
};

TEST_F(OptionsRun, AFailedExchangeStopsAtTheFailingBox) {
    std::thread driver([] {
        HWND dialog = WaitForWindow("Options", GetCurrentProcessId(), kWaitMs);
        if (dialog != nullptr) {
            PostMessageA(dialog, WM_APP, 0, 0);
        }
    });
    BrokenBoxOptions options;
    options.Run(GetModuleHandleA(nullptr));
    driver.join();
    EXPECT_FALSE(options.exchanged);
    EXPECT_EQ(options.projectAfter, "C:\\Velmaris\\Default.pro\\"); // never read
    EXPECT_EQ(Stored("Project"), "<none>");
}

} // namespace
