// Drops onto the collection list in a process whose code page cannot hold
// every name (the Western code page 1252, as on Windows before UTF-8 could be
// a program's code page): a dropped path outside the code page must never
// become another file's path, such as the best-fit "Omega.txt" for a name
// that begins with a Greek capital omega.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cwchar>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/window_bindings.h"
#include "collect_list/collection_list.h"

namespace {

// A shell drop of UTF-16 paths, as the shell hands it to WM_DROPFILES.
HDROP MakeWideDrop(const std::vector<std::wstring>& paths) {
    size_t size = sizeof(DROPFILES) + sizeof(wchar_t);
    for (const std::wstring& path : paths) {
        size += (path.size() + 1) * sizeof(wchar_t);
    }
    HGLOBAL memory = GlobalAlloc(GHND, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* at = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
    for (const std::wstring& path : paths) {
        std::wmemcpy(at, path.c_str(), path.size() + 1);
        at += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST(DroppedNames, NameOutsideTheCodePageIsKeptWithAMarkNeverABestFit) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "needs the Western code page 1252, not " << GetACP();
    }
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    WindowBindings bindings;
    bindings.Init();
    HWND control = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 400, 200,
                                   nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(control, nullptr);
    {
        CollectionList list;
        ASSERT_TRUE(list.Attach(control));
        list.InsertColumns();
        SendMessageA(control, WM_DROPFILES,
                     reinterpret_cast<WPARAM>(MakeWideDrop(
                         {L"C:\\Runs\\\x03A9mega.txt", L"C:\\Runs\\R\x00E9sultats.txt"})),
                     0);
        ASSERT_EQ(list.RowCount(), 2);
        EXPECT_STREQ(list.GetRowText(0, 1).Narrow(), "C:\\Runs\\?mega.txt");
        EXPECT_STREQ(list.GetRowText(1, 1).Narrow(), "C:\\Runs\\R\xE9sultats.txt");
        DestroyWindow(control);
    }
    bindings.Delete();
}

} // namespace
