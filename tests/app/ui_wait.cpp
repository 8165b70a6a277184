#include "ui_wait.h"

namespace {

struct Search {
    const char* caption;
    DWORD processId;
    bool dialogOnly;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    if (lstrcmpA(text, search->caption) != 0) {
        return TRUE;
    }
    if (search->dialogOnly) {
        char cls[64] = {};
        GetClassNameA(window, cls, sizeof cls);
        if (lstrcmpA(cls, "#32770") != 0) {
            return TRUE;
        }
    }
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->processId != 0 && owner != search->processId) {
        return TRUE;
    }
    if (!IsWindowVisible(window)) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

struct TextSearch {
    const std::string* text;
    bool found;
};

BOOL CALLBACK MatchChildText(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TextSearch*>(param);
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    if (*search->text == text) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND WaitForWindow(const char* caption, DWORD processId, int timeoutMs, bool dialogOnly) {
    const DWORD start = GetTickCount();
    for (;;) {
        Search search{caption, processId, dialogOnly, nullptr};
        EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return search.found;
        }
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) {
            return nullptr;
        }
        Sleep(20);
    }
}

bool WaitForWindowGone(HWND window, int timeoutMs) {
    const DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

void PostKey(HWND window, UINT key) {
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

HWND FocusOfThreadOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

bool DialogShowsText(HWND dialog, const std::string& text) {
    TextSearch search{&text, false};
    EnumChildWindows(dialog, &MatchChildText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
