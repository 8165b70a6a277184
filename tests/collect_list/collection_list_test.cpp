// The collection list on the real list-view control of the program's own main
// dialog template: columns, fixed rows, presses, drops, the uniqueness rule
// and long locations, driven with the messages the user's actions send.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/resource_ids.h"
#include "app/window_object.h"
#include "collect_list/collection_list.h"

namespace {

// Hosts the main dialog template without any of the program's behaviour.
class HostDialog : public DialogWindow {
public:
    bool HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) override { return false; }
};

std::string Narrow(const WideText& text) {
    return text.IsNull() ? std::string() : text.Narrow();
}

// A shell drop of narrow paths, as the shell hands it to WM_DROPFILES.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& path : paths) {
        size += path.size() + 1;
    }
    HGLOBAL memory = GlobalAlloc(GHND, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    char* at = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
    for (const std::string& path : paths) {
        std::memcpy(at, path.c_str(), path.size() + 1);
        at += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

class CollectionListTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&classes);
        bindings_.Init();
        dialogWindow_ = host_.CreateModeless(GetModuleHandleA(nullptr), IDD_MAIN, nullptr);
        ASSERT_NE(dialogWindow_, nullptr);
        control_ = GetDlgItem(dialogWindow_, IDC_COLLECT_LIST);
        ASSERT_NE(control_, nullptr);
    }
    void TearDown() override {
        if (IsWindow(dialogWindow_)) {
            DestroyWindow(dialogWindow_);
        }
        bindings_.Delete();
    }

    // What the main dialog's initialisation does with the list.
    void Fill() {
        ASSERT_TRUE(list_.Attach(control_));
        list_.InsertColumns();
        list_.AddFixedRows();
    }

    RECT RowRect(int row, int column = 0) {
        RECT rect{};
        rect.top = column;
        rect.left = LVIR_BOUNDS;
        const UINT message = column == 0 ? LVM_GETITEMRECT : LVM_GETSUBITEMRECT;
        EXPECT_TRUE(SendMessageA(control_, message, row, reinterpret_cast<LPARAM>(&rect)));
        return rect;
    }

    void Press(UINT message, int x, int y) {
        const WPARAM keys =
            (message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK) ? MK_RBUTTON : MK_LBUTTON;
        SendMessageA(control_, message, keys, MAKELPARAM(x, y));
    }

    void PressRow(UINT message, int row, int column = 0) {
        const RECT rect = RowRect(row, column);
        Press(message, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    }

    int SelectedCount() {
        return static_cast<int>(SendMessageA(control_, LVM_GETSELECTEDCOUNT, 0, 0));
    }

    WindowBindings bindings_;
    HostDialog host_;
    HWND dialogWindow_ = nullptr;
    HWND control_ = nullptr;
    CollectionList list_;
};

TEST_F(CollectionListTest, AttachedListHasItsStylesColumnsAndFixedRows) {
    Fill();
    EXPECT_EQ(SendMessageA(control_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0),
              LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);

    RECT client{};
    GetClientRect(control_, &client);
    const int itemWidth = client.right / 3;
    EXPECT_EQ(SendMessageA(control_, LVM_GETCOLUMNWIDTH, 0, 0), itemWidth);
    EXPECT_EQ(SendMessageA(control_, LVM_GETCOLUMNWIDTH, 1, 0), client.right - itemWidth);
    char title[32] = "";
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.pszText = title;
    column.cchTextMax = sizeof title;
    ASSERT_TRUE(SendMessageA(control_, LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(title, "Location");
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);

    const char* expected[][2] = {
        {"Error Log", "System Error Log"},      {"Registry Settings", "System Registry"},
        {"VLShare", "Shared Memory"},           {"Velmaris Files", "Velmaris"},
        {"Halvorstrand Files", "Halvorstrand"}, {"Inlet Event Logs", "Inlet Event Logs"}};
    ASSERT_EQ(list_.RowCount(), 6);
    EXPECT_EQ(list_.FixedRowCount(), 6);
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(Narrow(list_.GetRowText(row, 0)), expected[row][0]);
        EXPECT_EQ(Narrow(list_.GetRowText(row, 1)), expected[row][1]);
        EXPECT_EQ(list_.IsRowChecked(row), 1);
    }
    EXPECT_TRUE(list_.GetRowText(6, 1).IsNull());
}

TEST_F(CollectionListTest, FailedAttachLeavesTheControlAlone) {
    CollectionList first;
    ASSERT_TRUE(first.Attach(control_));
    SendMessageA(control_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES);

    // A control that is already subclassed cannot be attached again.
    EXPECT_FALSE(list_.Attach(control_));
    EXPECT_EQ(SendMessageA(control_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), LVS_EX_GRIDLINES);
    list_.InsertColumns();
    list_.AddFixedRows();
    list_.AddRow("File", "C:\\Runs", true);
    EXPECT_EQ(list_.RowCount(), 0);
    EXPECT_EQ(list_.FixedRowCount(), 6);
    EXPECT_EQ(SendMessageA(control_, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_TRUE(list_.GetRowText(0, 1).IsNull());
}

TEST_F(CollectionListTest, PressesToggleUserRowsOnly) {
    Fill();
    list_.AddRow("Raw Data", "C:\\Data\\Run1", true);
    list_.AddRow("Other", "C:\\Other", false);
    const int user = 6;

    // Fixed rows: any press changes nothing and selects nothing.
    PressRow(WM_LBUTTONDOWN, 0);
    PressRow(WM_RBUTTONDOWN, 3, 1);
    PressRow(WM_LBUTTONDBLCLK, 5);
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(list_.IsRowChecked(row), 1) << row;
    }

    // Empty space below the last row.
    const RECT last = RowRect(user + 1);
    Press(WM_LBUTTONDOWN, (last.left + last.right) / 2, last.bottom + (last.bottom - last.top) * 2);
    Press(WM_RBUTTONDOWN, 5, last.bottom + 3);
    EXPECT_EQ(list_.IsRowChecked(user), 1);
    EXPECT_EQ(list_.IsRowChecked(user + 1), 0);

    // Left and right presses anywhere on a user row flip it.
    PressRow(WM_LBUTTONDOWN, user);
    EXPECT_EQ(list_.IsRowChecked(user), 0);
    PressRow(WM_RBUTTONDOWN, user, 1);
    EXPECT_EQ(list_.IsRowChecked(user), 1);
    const RECT box = RowRect(user);
    Press(WM_LBUTTONDOWN, box.left + 2, (box.top + box.bottom) / 2);
    EXPECT_EQ(list_.IsRowChecked(user), 0);
    PressRow(WM_LBUTTONDOWN, user + 1, 1);
    EXPECT_EQ(list_.IsRowChecked(user + 1), 1);

    // A double click is two presses: the row ends as it was.
    for (UINT down : {WM_LBUTTONDOWN, WM_RBUTTONDOWN}) {
        const UINT up = down == WM_LBUTTONDOWN ? WM_LBUTTONUP : WM_RBUTTONUP;
        const UINT dbl = down == WM_LBUTTONDOWN ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK;
        PressRow(down, user);
        PressRow(up, user);
        PressRow(dbl, user);
        PressRow(up, user);
        EXPECT_EQ(list_.IsRowChecked(user), 0);
    }

    // The control never saw a press, so nothing got selected.
    EXPECT_EQ(SelectedCount(), 0);
}

TEST_F(CollectionListTest, DropAddsNewPathsInOrderAndChecked) {
    Fill();
    list_.AddRow("Raw Data", "C:\\Data\\Run1", true);
    list_.SetRowChecked(6, false);
    SendMessageA(control_, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({"C:\\Runs\\Batch7", "C:\\Data\\Run1",
                                                    "C:\\Runs\\notes.txt", "C:\\Runs\\Batch7"})),
                 0);
    ASSERT_EQ(list_.RowCount(), 9);
    EXPECT_EQ(Narrow(list_.GetRowText(6, 0)), "Raw Data");
    EXPECT_EQ(list_.IsRowChecked(6), 0);
    EXPECT_EQ(Narrow(list_.GetRowText(7, 0)), "File");
    EXPECT_EQ(Narrow(list_.GetRowText(7, 1)), "C:\\Runs\\Batch7");
    EXPECT_EQ(list_.IsRowChecked(7), 1);
    EXPECT_EQ(Narrow(list_.GetRowText(8, 0)), "File");
    EXPECT_EQ(Narrow(list_.GetRowText(8, 1)), "C:\\Runs\\notes.txt");
    EXPECT_EQ(list_.IsRowChecked(8), 1);
}

TEST_F(CollectionListTest, LocationsAreUniqueExactlyAndCaseSensitively) {
    Fill();
    list_.AddRow("Raw Data", "C:\\Data\\Run1", true);
    list_.AddRow("Other", "C:\\Data\\Run1", true);
    list_.AddRow("Other", "c:\\data\\run1", true);
    // A label of a fixed row counts as well.
    list_.AddRow("Other", "Velmaris", true);
    SendMessageA(control_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({"C:\\Data\\Run1"})), 0);
    ASSERT_EQ(list_.RowCount(), 8);
    EXPECT_EQ(Narrow(list_.GetRowText(6, 0)), "Raw Data");
    EXPECT_EQ(Narrow(list_.GetRowText(7, 1)), "c:\\data\\run1");

    EXPECT_NE(list_.FindRowByLocation(WideText("C:\\Data\\Run1"), 0), -1);
    EXPECT_EQ(list_.FindRowByLocation(WideText("C:\\Data\\Run1"), 7), -1);
    EXPECT_EQ(list_.FindRowByLocation(WideText("C:\\Data\\Run1"), 99), -1);
    EXPECT_EQ(list_.FindRowByLocation(WideText("C:\\Data"), 0), -1);
    EXPECT_EQ(list_.FindRowByLocation(WideText(""), 0), -1);
}

// With UTF-8 as the code page (the program's manifest), a character takes
// up to three bytes, and a copy that cannot hold the next one whole stops
// short of the buffer's end: every length around the buffer sizes must still
// be read whole.
TEST_F(CollectionListTest, MultibyteLocationsAroundTheBufferSizesAreReadWhole) {
    if (GetACP() != CP_UTF8) {
        GTEST_SKIP() << "the manifest's UTF-8 code page is not honoured here";
    }
    Fill();
    int row = list_.RowCount();
    for (const size_t characters : {82u, 83u, 84u, 85u, 86u, 167u, 168u, 169u, 170u, 171u}) {
        for (const char* head : {"C:", "C:\\", "C:\\x", "C:\\\xC3\xA9"}) {
            std::string location = head;
            for (size_t i = 0; i < characters; ++i) {
                location += "\xE6\x95\xB0";
            }
            list_.AddRow("Other", location.c_str(), true);
            EXPECT_EQ(Narrow(list_.GetRowText(row, 1)), location) << location.size() << " bytes";
            ++row;
        }
    }
}

TEST_F(CollectionListTest, LongLocationsAreReadWholeAndStayUnique) {
    Fill();
    std::string boundary = "C:\\" + std::string(252, 'b');     // 255 characters: fills 256 bytes
    std::string longer = "C:\\" + std::string(254, 'x') + "y"; // 258 characters
    ASSERT_EQ(boundary.size(), 255u);
    ASSERT_EQ(longer.size(), 258u);
    list_.AddRow("Other", boundary.c_str(), true);
    list_.AddRow("Other", longer.c_str(), true);
    EXPECT_EQ(Narrow(list_.GetRowText(6, 1)), boundary);
    EXPECT_EQ(Narrow(list_.GetRowText(7, 1)), longer);
    EXPECT_EQ(list_.GetRowText(7, 1).Length(), 258u);

    list_.AddRow("File", longer.c_str(), true);
    list_.AddRow("File", boundary.c_str(), true);
    EXPECT_EQ(list_.RowCount(), 8);
    // Differs only in the last character, beyond the first buffer's reach.
    std::string sibling = longer;
    sibling.back() = 'z';
    list_.AddRow("File", sibling.c_str(), true);
    EXPECT_EQ(list_.RowCount(), 9);
}

TEST_F(CollectionListTest, KeyboardIsLeftToTheControl) {
    Fill();
    list_.AddRow("Other", "C:\\Other", true);
    LVITEMA focus{};
    focus.stateMask = LVIS_FOCUSED;
    focus.state = LVIS_FOCUSED;
    SendMessageA(control_, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&focus));
    SendMessageA(control_, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(SendMessageA(control_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 6);
    EXPECT_EQ(SendMessageA(control_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 6);
}

TEST_F(CollectionListTest, PaintRequestsDrawTheGradientBehindTheRows) {
    Fill();
    ShowWindow(dialogWindow_, SW_SHOWNOACTIVATE);
    InvalidateRect(control_, nullptr, TRUE);
    UpdateWindow(control_);
    RECT client{};
    GetClientRect(control_, &client);
    HDC dc = GetDC(control_);
    // Below the last row: the first and the last band, where the control
    // alone would have left white.
    const COLORREF left = GetPixel(dc, 0, client.bottom - 2);
    const COLORREF right = GetPixel(dc, client.right - 1, client.bottom - 2);
    ReleaseDC(control_, dc);
    EXPECT_EQ(left, RGB(191, 217, 243));
    EXPECT_EQ(right, RGB(254, 254, 254));
    EXPECT_FALSE(GetUpdateRect(control_, nullptr, FALSE));
}

TEST_F(CollectionListTest, DestroyedListIsForgotten) {
    Fill();
    const WNDPROC previous = list_.PreviousProcedure();
    ASSERT_NE(previous, nullptr);
    DestroyWindow(dialogWindow_);
    EXPECT_EQ(list_.Window(), nullptr);
    EXPECT_EQ(list_.RowCount(), 0);
    EXPECT_TRUE(list_.GetRowText(0, 1).IsNull());
}

} // namespace
