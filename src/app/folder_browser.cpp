#include "app/folder_browser.h"

#include <shlobj.h>

namespace {

// Keeps the status line showing the path of the folder under the selection.
int CALLBACK FollowSelection(HWND browser, UINT message, LPARAM lParam, LPARAM /*data*/) {
    if (message == BFFM_SELCHANGED) {
        char path[MAX_PATH];
        if (SHGetPathFromIDListA(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path)) {
            SendMessageA(browser, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(path));
        }
    }
    return 0;
}

// The item list the desktop folder makes of `text`, or null when it names no
// existing folder.
PIDLIST_ABSOLUTE ParseFolder(HWND owner, const char* text) {
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, wide, MAX_PATH) == 0) {
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
// returned.
bool RunBrowser(BROWSEINFOA& info, IMalloc* allocator, char (&path)[MAX_PATH]) {
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (chosen == nullptr) {
        return false;
    }
    const bool hasPath = SHGetPathFromIDListA(chosen, path) != FALSE;
    if (allocator != nullptr) {
        allocator->Free(chosen);
    }
    return hasPath;
}

} // namespace

bool BrowseForFolderFrom(HWND owner, const char* rootText, char (&path)[MAX_PATH]) {
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

bool BrowseForAnyFolder(HWND owner, char (&path)[MAX_PATH]) {
    char displayName[MAX_PATH];
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
