// The list's gradient background, measured on the pixels that reach the
// screen: band geometry and colours, the AND with the rows, partial updates,
// and one copy to the screen per paint.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "collect_list/list_painting.h"

namespace {

COLORREF Rgb(int r, int g, int b) {
    return RGB(r, g, b);
}

// Counts the copies made onto one window's display surface, by replacing this
// program's import of BitBlt while a test runs.
struct BlitCounter {
    static HWND target;
    static int copies;
    static DWORD lastRop;
    static decltype(&BitBlt) original;

    static BOOL WINAPI Counting(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1,
                                DWORD rop) {
        if (target != nullptr && WindowFromDC(dst) == target) {
            ++copies;
            lastRop = rop;
        }
        return original(dst, x, y, cx, cy, src, x1, y1, rop);
    }
};
HWND BlitCounter::target = nullptr;
int BlitCounter::copies = 0;
DWORD BlitCounter::lastRop = 0;
decltype(&BitBlt) BlitCounter::original = nullptr;

// Replaces the import `function` of `dll` in this program; returns the old
// address, or null when the import is not found.
void* PatchImport(const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; desc->Name != 0; ++desc) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + desc->Name), dll) != 0) {
            continue;
        }
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) != 0) {
                continue;
            }
            DWORD old = 0;
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &old);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), old, &old);
            return previous;
        }
    }
    return nullptr;
}

WNDPROC listPrevious = nullptr;

LRESULT CALLBACK GradientListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        return PaintListWithGradient(window, listPrevious, wParam, lParam);
    }
    return CallWindowProcA(listPrevious, window, message, wParam, lParam);
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A top-level window holding one report-view list of the given client size,
// subclassed so that its paints go through the gradient painting.
class GradientList : public ::testing::Test {
protected:
    void Make(int width, int height) {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        frame_ = CreateWindowExA(0, "STATIC", "gradient", WS_POPUP | WS_VISIBLE, 10, 10, width + 40,
                                 height + 40, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(frame_, nullptr);
        list_ = CreateWindowExA(0, WC_LISTVIEWA, "",
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER, 0, 0,
                                width, height, frame_, nullptr, nullptr, nullptr);
        ASSERT_NE(list_, nullptr);
        RECT client;
        GetClientRect(list_, &client);
        ASSERT_EQ(client.right, width);
        listPrevious = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&GradientListProc)));
        ASSERT_NE(listPrevious, nullptr);
    }

    void AddRow(const char* text) {
        LVCOLUMNA column{};
        column.mask = LVCF_WIDTH | LVCF_TEXT;
        column.cx = 300;
        column.pszText = const_cast<char*>("Item");
        SendMessageA(list_, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.pszText = const_cast<char*>(text);
        SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }

    void PaintAll() {
        InvalidateRect(list_, nullptr, TRUE);
        UpdateWindow(list_);
        Pump();
    }

    COLORREF Pixel(int x, int y) {
        HDC dc = GetDC(list_);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(list_, dc);
        return c;
    }

    void FillScreen(COLORREF colour) {
        HDC dc = GetDC(list_);
        RECT r;
        GetClientRect(list_, &r);
        SetBkColor(dc, colour);
        ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
        ReleaseDC(list_, dc);
    }

    void TearDown() override {
        if (BlitCounter::original != nullptr) {
            PatchImport("gdi32.dll", "BitBlt", reinterpret_cast<void*>(BlitCounter::original));
            BlitCounter::original = nullptr;
        }
        if (frame_ != nullptr) {
            DestroyWindow(frame_);
        }
    }

    HWND frame_ = nullptr;
    HWND list_ = nullptr;
};

TEST_F(GradientList, FullPaintShowsSixtyFourBandsTenPixelsWide) {
    Make(640, 200);
    AddRow("WWWWWWWWWW");
    PaintAll();
    const int y = 150; // below the only row: the list is white there
    for (int i = 0; i < 64; ++i) {
        const COLORREF left = Pixel(10 * i, y);
        const COLORREF right = Pixel(10 * i + 9, y);
        EXPECT_EQ(left, right) << "band " << i;
        EXPECT_EQ(GetRValue(left), 191 + i) << "band " << i;
    }
    EXPECT_EQ(Pixel(0, y), 0xF3D9BFu);
    EXPECT_EQ(Pixel(320, y), Rgb(223, 236, 249));
    EXPECT_EQ(Pixel(329, 5), Rgb(223, 236, 249));
    EXPECT_EQ(Pixel(639, y), 0xFEFEFEu);
    EXPECT_EQ(Pixel(639, 199), 0xFEFEFEu);
}

TEST_F(GradientList, RowTextStaysDarkOverTheGradient) {
    Make(640, 200);
    AddRow("WWWWWWWWWW");
    PaintAll();
    RECT label{LVIR_LABEL, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(list_, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&label)));
    int dark = 0;
    for (int y = label.top; y < label.bottom; ++y) {
        for (int x = label.left; x < label.right; ++x) {
            const COLORREF c = Pixel(x, y);
            if (GetRValue(c) < 0x60 && GetGValue(c) < 0x60 && GetBValue(c) < 0x60) {
                ++dark;
            }
        }
    }
    EXPECT_GT(dark, 20);
}

TEST_F(GradientList, NarrowListStillPaintsAndIsValidated) {
    Make(40, 60);
    PaintAll();
    // Bands are 0.625 px wide: band 1 starts at trunc(0.625) = 0 and covers
    // band 0; band 63 starts at 39.
    EXPECT_EQ(Pixel(0, 30), RGB(192, 217, 243));
    EXPECT_EQ(Pixel(39, 30), 0xFEFEFEu);
    RECT pending;
    EXPECT_FALSE(GetUpdateRect(list_, &pending, FALSE));
}

TEST_F(GradientList, UpdateFromHundredPixelsDownRecopiesOnlyFromThere) {
    Make(640, 200);
    PaintAll();
    const COLORREF marker = Rgb(255, 0, 255);
    FillScreen(marker);
    RECT lower{0, 100, 640, 200};
    InvalidateRect(list_, &lower, FALSE);
    UpdateWindow(list_);
    for (int x : {0, 5, 320, 639}) {
        EXPECT_EQ(Pixel(x, 0), marker) << x;
        EXPECT_EQ(Pixel(x, 99), marker) << x;
        EXPECT_NE(Pixel(x, 100), marker) << x;
        EXPECT_NE(Pixel(x, 199), marker) << x;
    }
    EXPECT_EQ(Pixel(0, 100), 0xF3D9BFu);
}

TEST_F(GradientList, ExactlyOneCopyToTheScreenPerPaint) {
    Make(640, 200);
    AddRow("row");
    PaintAll();
    BlitCounter::original = reinterpret_cast<decltype(&BitBlt)>(
        PatchImport("gdi32.dll", "BitBlt", reinterpret_cast<void*>(&BlitCounter::Counting)));
    ASSERT_NE(BlitCounter::original, nullptr);
    BlitCounter::target = list_;
    BlitCounter::copies = 0;
    PaintAll();
    EXPECT_EQ(BlitCounter::copies, 1);
    EXPECT_EQ(BlitCounter::lastRop, static_cast<DWORD>(SRCCOPY));
    RECT lower{0, 100, 640, 200};
    InvalidateRect(list_, &lower, FALSE);
    UpdateWindow(list_);
    EXPECT_EQ(BlitCounter::copies, 2);
    BlitCounter::target = nullptr;
}

// PaintGradient on its own, into a memory image.
class GradientImage : public ::testing::Test {
protected:
    void SetUp() override {
        dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = kSize;
        info.bmiHeader.biHeight = -kSize;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        RECT all{0, 0, kSize, kSize};
        SetBkColor(dc_, kMarker);
        ExtTextOutA(dc_, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
    }
    void TearDown() override {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    static constexpr int kSize = 100;
    static constexpr COLORREF kMarker = RGB(255, 0, 255);
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

TEST_F(GradientImage, EqualColoursDrawNothing) {
    SetBkColor(dc_, RGB(1, 2, 3));
    RECT r{0, 0, 64, 64};
    PaintGradient(dc_, r, 0x123456, 0x123456, true);
    EXPECT_EQ(GetPixel(dc_, 0, 0), kMarker);
    EXPECT_EQ(GetPixel(dc_, 63, 63), kMarker);
    EXPECT_EQ(GetBkColor(dc_), RGB(1, 2, 3));
}

TEST_F(GradientImage, BandsReachOnePixelPastTheFarSideAndLeaveTheLastColour) {
    RECT r{0, 0, 64, 10};
    PaintGradient(dc_, r, RGB(0, 0, 0), RGB(64, 0, 0), true);
    EXPECT_EQ(GetPixel(dc_, 0, 10), RGB(0, 0, 0)); // one row past the bottom
    EXPECT_EQ(GetPixel(dc_, 0, 11), kMarker);
    EXPECT_EQ(GetPixel(dc_, 63, 0), RGB(63, 0, 0));
    EXPECT_EQ(GetPixel(dc_, 64, 0), kMarker); // right edges are excluded
    EXPECT_EQ(GetBkColor(dc_), RGB(63, 0, 0));
}

TEST_F(GradientImage, VerticalBandsRunTopToBottomAndFallingChannelsWork) {
    RECT r{10, 0, 20, 32};
    PaintGradient(dc_, r, RGB(0, 200, 40), RGB(0, 168, 40), false);
    EXPECT_EQ(GetPixel(dc_, 10, 0), RGB(0, 200, 40));
    EXPECT_EQ(GetPixel(dc_, 20, 0), RGB(0, 200, 40)); // one column past the right
    EXPECT_EQ(GetPixel(dc_, 21, 0), kMarker);
    EXPECT_EQ(GetPixel(dc_, 15, 31), RGB(0, 169, 40));
    EXPECT_EQ(GetPixel(dc_, 15, 32), kMarker);
}

TEST_F(GradientImage, ThisProgramsColoursGiveTheListedBands) {
    RECT r{0, 0, 64, 4};
    PaintGradient(dc_, r, kListGradientFrom, kListGradientTo, true);
    EXPECT_EQ(GetPixel(dc_, 0, 0), 0xF3D9BFu);
    EXPECT_EQ(GetPixel(dc_, 32, 0), RGB(223, 236, 249));
    EXPECT_EQ(GetPixel(dc_, 63, 0), 0xFEFEFEu);
}

} // namespace
