#pragma once
// Test support for the archive run: the program's main dialog template with
// a filled CollectionList, a watcher that reads and dismisses the run's final
// message box, and a reader of a zip archive's central-directory names.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "app/resource_ids.h"
#include "app/window_object.h"
#include "collect_list/collection_list.h"
#include "common/scratch_folder.h"

namespace testing_support {

// The main dialog template, hosting the list as the program fills it.
class ListHost : public DialogWindow {
public:
    ListHost() {
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&classes);
        bindings_.Init();
        if (CreateModeless(GetModuleHandleA(nullptr), IDD_MAIN, nullptr) != nullptr &&
            list.Attach(GetDlgItem(Window(), IDC_COLLECT_LIST))) {
            list.InsertColumns();
            list.AddFixedRows();
        }
    }
    ~ListHost() override {
        if (Window() != nullptr) {
            DestroyWindow(Window());
        }
        bindings_.Delete();
    }
    bool HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) override { return false; }

    /* True when the dialog and its six fixed rows are there. */
    bool Ready() const { return Window() != nullptr && list.RowCount() == 6; }

    CollectionList list;

private:
    WindowBindings bindings_;
};

// What a message box showed.
struct BoxSeen {
    std::string caption;
    std::string text;
    HWND owner = nullptr;
    bool icon = false;
    int buttons = 0;
    HCURSOR cursor = nullptr;
};

// Reads every message box with caption "Archive" that this thread opens while
// the watcher lives, then presses its OK button.
class BoxWatcher {
public:
    BoxWatcher() {
        current_ = this;
        hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~BoxWatcher() {
        UnhookWindowsHookEx(hook_);
        current_ = nullptr;
    }
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    std::vector<BoxSeen> boxes;

private:
    static BOOL CALLBACK Child(HWND child, LPARAM seen) {
        auto* box = reinterpret_cast<BoxSeen*>(seen);
        char kind[32] = "";
        GetClassNameA(child, kind, sizeof kind);
        // The box itself may not be shown yet: look at the child's own style.
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if ((style & WS_VISIBLE) == 0) {
            return TRUE;
        }
        if (lstrcmpiA(kind, "Button") == 0) {
            ++box->buttons;
        } else if (lstrcmpiA(kind, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
                   SendMessageA(child, STM_GETICON, 0, 0) != 0) {
            box->icon = true;
        }
        return TRUE;
    }

    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE && current_ != nullptr) {
            HWND window = reinterpret_cast<HWND>(wParam);
            char kind[32] = "";
            char caption[64] = "";
            GetClassNameA(window, kind, sizeof kind);
            GetWindowTextA(window, caption, sizeof caption);
            if (std::strcmp(kind, "#32770") == 0 && std::strcmp(caption, "Archive") == 0 &&
                current_->handled_ != window) {
                current_->handled_ = window;
                BoxSeen box;
                box.caption = caption;
                char text[1024] = "";
                GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
                box.text = text;
                box.owner = GetWindow(window, GW_OWNER);
                box.cursor = GetCursor();
                EnumChildWindows(window, Child, reinterpret_cast<LPARAM>(&box));
                current_->boxes.push_back(box);
                PostMessageA(window, WM_COMMAND, IDOK, 0);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline BoxWatcher* current_ = nullptr;
    HHOOK hook_ = nullptr;
    HWND handled_ = nullptr;
};

/* The entry names of the zip archive at `path`, in central-directory order;
   empty when the file is missing or its end record cannot be found. */
inline std::vector<std::string> ZipEntryNames(const std::string& path) {
    const std::string zip = ReadWholeFile(path);
    std::vector<std::string> names;
    auto u16 = [&](size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(zip[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(zip[at + 1])) << 8;
    };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (zip.size() < 22) {
        return names;
    }
    size_t end = zip.size() - 22;
    while (end > 0 && u32(end) != 0x06054b50) {
        --end;
    }
    if (u32(end) != 0x06054b50) {
        return names;
    }
    const unsigned count = u16(end + 10);
    size_t at = u32(end + 16);
    for (unsigned i = 0; i < count && at + 46 <= zip.size() && u32(at) == 0x02014b50; ++i) {
        const unsigned nameLength = u16(at + 28);
        names.push_back(zip.substr(at + 46, nameLength));
        at += 46 + nameLength + u16(at + 30) + u16(at + 32);
    }
    return names;
}

/* The lines of a CR LF text file (each line without its CR LF); `complete`
   says whether the last line ended with CR LF too. */
inline std::vector<std::string> ReportLinesOf(const std::string& path, bool* complete) {
    const std::string text = ReadWholeFile(path);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    *complete = start == text.size();
    return lines;
}

} // namespace testing_support
