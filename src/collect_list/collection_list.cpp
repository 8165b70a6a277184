#include "collect_list/collection_list.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <memory>
#include <new>

#include "collect_list/list_painting.h"
#include "common/exact_narrow.h"

namespace {
// The check box is the row's state image: index 1 unchecked, 2 checked.
constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kChecked = INDEXTOSTATEIMAGEMASK(2);

// The fixed rows, one per built-in collection step, in the steps' order.
struct FixedRow {
    const char* item;
    const char* location;
};
constexpr FixedRow kFixedRows[] = {
    {"Error Log", "System Error Log"},      {"Registry Settings", "System Registry"},
    {"VLShare", "Shared Memory"},           {"Velmaris Files", "Velmaris"},
    {"Halvorstrand Files", "Halvorstrand"}, {"Inlet Event Logs", "Inlet Event Logs"},
};

// A dropped path: at most MAX_PATH characters and its terminator, and its
// narrow form in the system code page.
constexpr UINT kDropPathSize = MAX_PATH + 1;
constexpr size_t kDropPathBytes = kDropPathSize * kMaxBytesPerUnit;

// A cut copy stops at most a few bytes short of the buffer's end: a character
// of up to four bytes that did not fit whole, and the terminator. Only a copy
// that leaves more room than this margin is surely whole.
constexpr size_t kCutSlack = 8;
} // namespace

bool CollectionList::Attach(HWND list) {
    if (!SubclassedWindow::Attach(list)) {
        return false;
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    return true;
}

void CollectionList::InsertColumns() {
    RECT client{};
    GetClientRect(Window(), &client);
    const int itemWidth = (client.right - client.left) / 3;
    const int widths[] = {itemWidth, client.right - client.left - itemWidth};
    const char* titles[] = {"Item", "Location"};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = LVCFMT_LEFT;
        column.cx = widths[i];
        column.pszText = const_cast<char*>(titles[i]);
        SendMessageA(Window(), LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

void CollectionList::AddFixedRows() {
    for (const FixedRow& row : kFixedRows) {
        AddRow(row.item, row.location, true);
    }
    fixedRowCount_ = static_cast<int>(sizeof kFixedRows / sizeof kFixedRows[0]);
}

int CollectionList::RowCount() const {
    return static_cast<int>(SendMessageA(Window(), LVM_GETITEMCOUNT, 0, 0));
}

int CollectionList::IsRowChecked(int row) const {
    const auto state =
        static_cast<UINT>(SendMessageA(Window(), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return static_cast<int>(state >> 12) - 1;
}

void CollectionList::SetRowChecked(int row, bool checked) {
    SetRowState(row, checked ? kChecked : kUnchecked);
}

void CollectionList::SetRowState(int row, UINT state) {
    LVITEMA item{};
    item.mask = LVIF_STATE;
    item.iItem = row;
    item.state = state;
    item.stateMask = LVIS_STATEIMAGEMASK;
    SendMessageA(Window(), LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

WideText CollectionList::GetRowText(int row, int column) const {
    // Double the buffer until the control's copy leaves room to spare: a
    // nearly full buffer may mean a cut text. A multibyte character that does
    // not fit whole is left out, so the copy can stop a few bytes short of
    // the end; the zeroed buffer makes its length readable either way.
    for (size_t size = 256;; size *= 2) {
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[size]());
        if (!buffer) {
            return WideText();
        }
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = buffer.get();
        item.cchTextMax = static_cast<int>(size - 1);
        SendMessageA(Window(), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        const size_t copied = std::strlen(buffer.get());
        if (copied + kCutSlack < size) {
            return copied != 0 ? WideText(buffer.get()) : WideText();
        }
    }
}

void CollectionList::AddRow(const char* item, const char* location, bool checked) {
    if (FindRowByLocation(WideText(location), 0) != -1) {
        return;
    }
    const int row = RowCount();
    LVITEMA text{};
    text.mask = LVIF_TEXT;
    text.iItem = row;
    text.pszText = const_cast<char*>(item);
    const auto inserted = static_cast<int>(
        SendMessageA(Window(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&text)));
    if (inserted == -1) {
        return;
    }
    text.iSubItem = 1;
    text.pszText = const_cast<char*>(location);
    SendMessageA(Window(), LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&text));
    // The state is set on its own: a state given with the insertion is not
    // honoured by every list view.
    SetRowState(row, checked ? kChecked : kUnchecked);
}

int CollectionList::FindRowByLocation(const WideText& location, int start) const {
    for (int row = start; row < RowCount(); ++row) {
        const WideText text = GetRowText(row, 1);
        if (!text.IsNull() && text.Length() != 0 && text == location) {
            return row;
        }
    }
    return -1;
}

bool CollectionList::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_PAINT:
        result = PaintListWithGradient(Window(), PreviousProcedure(), wParam, lParam);
        return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
        ToggleRow(lParam);
        return true;
    case WM_DROPFILES:
        AddDroppedFiles(reinterpret_cast<HDROP>(wParam));
        return true;
    default:
        return false;
    }
}

void CollectionList::ToggleRow(LPARAM point) {
    LVHITTESTINFO hit{};
    hit.pt.x = GET_X_LPARAM(point);
    hit.pt.y = GET_Y_LPARAM(point);
    const auto row =
        static_cast<int>(SendMessageA(Window(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < fixedRowCount_) {
        return;
    }
    const auto state =
        static_cast<UINT>(SendMessageA(Window(), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    SetRowState(row, state == kUnchecked ? kChecked : kUnchecked);
}

void CollectionList::AddDroppedFiles(HDROP drop) {
    // Paths are asked for in UTF-16: the narrow call would hand out a
    // best-fit form of a name the code page cannot hold.
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        wchar_t path[kDropPathSize] = L"";
        if (DragQueryFileW(drop, i, path, kDropPathSize) != 0) {
            char narrow[kDropPathBytes];
            ToExactNarrow(path, narrow, sizeof narrow);
            AddRow("File", narrow, true);
        }
    }
    DragFinish(drop);
}
