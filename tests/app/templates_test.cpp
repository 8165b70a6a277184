// The program's three dialog templates as the system builds them: every
// control's id, class, text, place, size and style, in tab order, and each
// dialog's caption and frame.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/resource_ids.h"

namespace {

INT_PTR CALLBACK PlainDialog(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

struct ControlLayout {
    int id;
    const char* className;
    const char* text; // null: not compared (boxes filled at run time, the icon)
    RECT units;       // left, top, width, height in dialog units; width 0: size not compared
    DWORD style;      // bits that must be set
    DWORD absent;     // bits that must be clear
};

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

class Templates : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&classes);
    }
    void TearDown() override {
        if (dialog_ != nullptr) {
            DestroyWindow(dialog_);
        }
    }

    HWND Create(int templateId) {
        dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId),
                                     nullptr, &PlainDialog, 0);
        return dialog_;
    }

    // Children in creation order, which is the template's and the tab order.
    void ExpectControls(const std::vector<ControlLayout>& expected) {
        std::vector<HWND> children;
        for (HWND child = GetWindow(dialog_, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            children.push_back(child);
        }
        ASSERT_EQ(children.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            const ControlLayout& want = expected[i];
            HWND child = children[i];
            EXPECT_EQ(GetDlgCtrlID(child), want.id) << i;
            EXPECT_STRCASEEQ(ClassOf(child).c_str(), want.className) << i;
            if (want.text != nullptr) {
                EXPECT_EQ(TextOf(child), want.text) << i;
            }
            // The dialog manager converts place and size separately.
            RECT units = want.units;
            MapDialogRect(dialog_, &units);
            RECT actual{};
            GetWindowRect(child, &actual);
            MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&actual), 2);
            EXPECT_EQ(actual.left, units.left) << i;
            EXPECT_EQ(actual.top, units.top) << i;
            if (want.units.right != 0) {
                EXPECT_EQ(actual.right, units.left + units.right) << i;
                EXPECT_EQ(actual.bottom, units.top + units.bottom) << i;
            }
            const auto style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
            EXPECT_EQ(style & want.style, want.style) << i;
            EXPECT_EQ(style & want.absent, 0u) << i;
        }
    }

    void ExpectFrame(const char* caption, int width, int height, DWORD style, DWORD absent) {
        EXPECT_EQ(TextOf(dialog_), caption);
        RECT units = {0, 0, width, height};
        MapDialogRect(dialog_, &units);
        RECT client{};
        GetClientRect(dialog_, &client);
        EXPECT_EQ(client.right, units.right);
        EXPECT_EQ(client.bottom, units.bottom);
        const auto actual = static_cast<DWORD>(GetWindowLongA(dialog_, GWL_STYLE));
        EXPECT_EQ(actual & style, style);
        EXPECT_EQ(actual & absent, 0u);
    }

    HWND dialog_ = nullptr;
};

constexpr DWORD kFrame = WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kButtonKind = 0x0F;

TEST_F(Templates, MainDialogHasNoDefaultButtonAndStaysHiddenUntilShown) {
    ASSERT_NE(Create(IDD_MAIN), nullptr);
    ExpectFrame("Gleanwell", 364, 186, kFrame, WS_VISIBLE);
    ExpectControls({
        {ID_APP_ABOUT, "Button", "&About...", {307, 165, 50, 14}, WS_TABSTOP, kButtonKind},
        {IDC_COLLECT_LIST, WC_LISTVIEWA, "", {7, 7, 292, 172}, LVS_REPORT | WS_TABSTOP, 0},
        {IDC_ADD_DATA, "Button", "Add Data", {307, 7, 50, 14}, WS_TABSTOP, kButtonKind},
        {IDC_ADD_OTHER, "Button", "Add Other", {307, 27, 50, 14}, WS_TABSTOP, kButtonKind},
        {IDC_ARCHIVE, "Button", "Archive", {307, 47, 50, 14}, WS_TABSTOP, kButtonKind},
        {IDC_OPTIONS, "Button", "Options", {307, 145, 50, 14}, WS_TABSTOP, kButtonKind},
    });
}

TEST_F(Templates, AboutBoxShowsNameVersionAndIcon) {
    ASSERT_NE(Create(IDD_ABOUTBOX), nullptr);
    ExpectFrame("About", 187, 102, kFrame | WS_POPUP, 0);
    ExpectControls({
        {IDOK, "Button", "OK", {130, 81, 50, 14}, BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
        {0xFFFF, "Static", nullptr, {25, 57, 78, 32}, SS_CENTER, 0},
        {0xFFFF, "Static", nullptr, {55, 26, 0, 0}, SS_ICON, 0},
        {0xFFFF, "Button", "", {7, 7, 115, 88}, BS_GROUPBOX, 0},
    });
    HWND text = GetWindow(dialog_, GW_CHILD);
    text = GetWindow(text, GW_HWNDNEXT);
    EXPECT_EQ(TextOf(text).rfind("Gleanwell Application v1.0\n\n", 0), 0u);
    HWND icon = GetWindow(text, GW_HWNDNEXT);
    EXPECT_NE(SendMessageA(icon, STM_GETICON, 0, 0), 0);
}

TEST_F(Templates, OptionsDialogOffersAReadOnlyInstallationBox) {
    ASSERT_NE(Create(IDD_OPTIONS), nullptr);
    ExpectFrame("Options", 186, 121, kFrame, WS_VISIBLE);
    constexpr DWORD kBox = ES_AUTOHSCROLL | WS_TABSTOP;
    ExpectControls({
        {IDC_INSTALL_DIR, "Edit", "", {7, 24, 172, 14}, kBox | ES_READONLY, 0},
        {IDC_PROJECT_DIR, "Edit", "", {7, 64, 158, 14}, kBox, ES_READONLY},
        {IDOK, "Button", "OK", {7, 100, 50, 14}, BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
        {IDCANCEL, "Button", "Cancel", {129, 100, 50, 14}, WS_TABSTOP, kButtonKind},
        {0xFFFF, "Static", "Velmaris Directory", {7, 14, 62, 8}, WS_GROUP, 0},
        {0xFFFF, "Static", "Velmaris Project", {7, 54, 56, 8}, WS_GROUP, 0},
        {IDC_BROWSE_PROJECT, "Button", "...", {165, 64, 14, 14}, WS_TABSTOP, kButtonKind},
    });
    // The edit control may turn its border into a sunken edge.
    for (int id : {IDC_INSTALL_DIR, IDC_PROJECT_DIR}) {
        HWND box = GetDlgItem(dialog_, id);
        EXPECT_TRUE((GetWindowLongA(box, GWL_STYLE) & WS_BORDER) != 0 ||
                    (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0)
            << id;
    }
}

} // namespace
