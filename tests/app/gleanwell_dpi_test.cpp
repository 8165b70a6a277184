// Gleanwell.exe at the display's DPI (which must be GLEANWELL_EXPECT_DPI when
// that is set; under Wine the prefix's LogPixels decides): every control within
// the dialog's client area, the list's two columns filling its width. With
// GLEANWELL_SHOT set, the dialog as it stands on the screen is kept there as
// a bitmap, to be looked at.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "remote_gleanwell.h"
#include "app/resource_ids.h"

namespace {

constexpr int kStepMs = 30000;

std::string ProgramPath() {
    std::string path = GLEANWELL_EXE;
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

int Variable(const char* name, int fallback) {
    char text[32] = "";
    const DWORD length = GetEnvironmentVariableA(name, text, sizeof text);
    return length > 0 && length < sizeof text ? std::atoi(text) : fallback;
}

// The screen's pixels under `window` as a 24-bit bottom-up bitmap file.
bool KeepShot(HWND window, const std::string& path) {
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int stride = (width * 3 + 3) & ~3;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP image = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                     &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(memory, image);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * height);
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool kept = out != INVALID_HANDLE_VALUE && bits != nullptr &&
                      WriteFile(out, &file, sizeof file, &written, nullptr) &&
                      WriteFile(out, &header, sizeof header, &written, nullptr) &&
                      WriteFile(out, bits, static_cast<DWORD>(stride * height), &written, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        CloseHandle(out);
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(image);
    ReleaseDC(nullptr, screen);
    return kept;
}

TEST(DialogAtDpi, ControlsWithinTheClientAreaAndColumnsFillingTheList) {
    // Aware like the program, so both see the same pixels.
    SetProcessDPIAware();
    const int expected = Variable("GLEANWELL_EXPECT_DPI", 0);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (expected != 0) {
        ASSERT_EQ(dpi, expected) << "the display's DPI is not what the prefix was given";
    }

    RemoteGleanwell app;
    ASSERT_TRUE(app.Start(ProgramPath(), kStepMs)) << app.Error();
    HWND dialog = app.Dialog();
    RECT client{};
    GetClientRect(dialog, &client);
    std::cout << "at " << dpi << " DPI the dialog's client area is " << client.right << " x "
              << client.bottom << " pixels\n";

    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        controls.push_back(child);
    }
    EXPECT_EQ(controls.size(), 6u);
    for (HWND control : controls) {
        RECT rect{};
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        char text[64] = "";
        GetWindowTextA(control, text, sizeof text);
        std::cout << "  control " << GetDlgCtrlID(control) << " \"" << text << "\" at " << rect.left
                  << ", " << rect.top << " to " << rect.right << ", " << rect.bottom << "\n";
        EXPECT_GE(rect.left, 0) << text;
        EXPECT_GE(rect.top, 0) << text;
        EXPECT_LE(rect.right, client.right) << text;
        EXPECT_LE(rect.bottom, client.bottom) << text;
    }

    HWND list = GetDlgItem(dialog, IDC_COLLECT_LIST);
    RECT listClient{};
    GetClientRect(list, &listClient);
    const auto item = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
    const auto location = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 1, 0));
    std::cout << "  list client width " << listClient.right << ", columns " << item << " + "
              << location << "\n";
    EXPECT_EQ(item, listClient.right / 3);
    EXPECT_EQ(item + location, listClient.right);

    char shot[MAX_PATH] = "";
    const DWORD length = GetEnvironmentVariableA("GLEANWELL_SHOT", shot, sizeof shot);
    if (length > 0 && length < sizeof shot) {
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(500);
        EXPECT_TRUE(KeepShot(dialog, shot)) << shot;
    }
    DWORD status = 0;
    EXPECT_TRUE(app.Close(kStepMs, status)) << app.Error();
}

} // namespace
