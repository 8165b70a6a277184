#include "app/folder_browser.h"

#include <shlobj.h>

#include "common/exact_narrow.h"

namespace {

// A path of up to MAX_PATH - 1 characters in the system code page.
constexpr size_t kPathBytes = MAX_PATH * kMaxBytesPerUnit;

// Keeps the status line showing the path of the folder under the selection.
int CALLBACK FollowSelection(HWND browser, UINT message, LPARAM lParam, LPARAM /*data*/) {
    if (message == BFFM_SELCHANGED) {
        wchar_t path[MAX_PATH];
        if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path)) {
            SendMessageW(browser, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
        }
    }
    return 0;
}

// The item list the desktop folder makes of `text`, or null when it names no
// existing folder.
PIDLIST_ABSOLUTE ParseFolder(HWND owner, const char* text) {
    wchar_t wide[MAX_PATH];
    if (text == nullptr ||
        MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, wide, MAX_PATH) == 0) {
        return nullptr;
    }
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop))) {
        return nullptr;
    }
    PIDLIST_RELATIVE parsed = nullptr;
    if (FAILED(desktop->ParseDisplayName(owner, nullptr, wide, nullptr, &parsed, nullptr))) {
        parsed = nullptr;
    }
    desktop->Release();
    return reinterpret_cast<PIDLIST_ABSOLUTE>(parsed);
}

// Runs the browser and takes the chosen folder's path; frees what the browser
// returned. The path is asked for in UTF-16: the narrow call would hand out a
// best-fit form of a name the code page cannot hold.
bool RunBrowser(BROWSEINFOA& info, IMalloc* allocator, NarrowText& path) {
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (chosen == nullptr) {
        return false;
    }
    wchar_t wide[MAX_PATH];
    const bool hasPath = SHGetPathFromIDListW(chosen, wide) != FALSE;
    if (allocator != nullptr) {
        allocator->Free(chosen);
    }
    if (hasPath) {
        char narrow[kPathBytes];
        ToExactNarrow(wide, narrow, sizeof narrow);
        path = NarrowText(narrow);
    }
    return hasPath;
}

} // namespace

bool BrowseForFolderFrom(HWND owner, const char* rootText, NarrowText& path) {
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator))) {
        return false;
    }
    PIDLIST_ABSOLUTE root = ParseFolder(owner, rootText);
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pidlRoot = root;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    info.lpfn = &FollowSelection;
    const bool chosen = RunBrowser(info, allocator, path);
    if (root != nullptr) {
        allocator->Free(root);
    }
    allocator->Release();
    return chosen;
}

bool BrowseForAnyFolder(HWND owner, NarrowText& path) {
    char displayName[kPathBytes];
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pszDisplayName = displayName;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator))) {
        allocator = nullptr;
    }
    const bool chosen = RunBrowser(info, allocator, path);
    if (allocator != nullptr) {
        allocator->Release();
    }
    return chosen;
}
