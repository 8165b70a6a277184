#include "remote_gleanwell.h"

#include <commctrl.h>
#include <shlobj.h>

#include "app/resource_ids.h"
#include "browser_select.h"
#include "ui_wait.h"

namespace {

// A block of memory inside another process, freed on destruction.
class RemoteBlock {
public:
    RemoteBlock(HANDLE process, SIZE_T size)
        : process_(process), address_(VirtualAllocEx(process, nullptr, size,
                                                     MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    ~RemoteBlock() {
        if (address_ != nullptr) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    BYTE* Address() const { return static_cast<BYTE*>(address_); }
    bool Write(SIZE_T offset, const void* data, SIZE_T size) const {
        return WriteProcessMemory(process_, Address() + offset, data, size, nullptr) != FALSE;
    }
    bool Read(SIZE_T offset, void* data, SIZE_T size) const {
        return ReadProcessMemory(process_, Address() + offset, data, size, nullptr) != FALSE;
    }

private:
    HANDLE process_;
    void* address_;
};

} // namespace

RemoteGleanwell::~RemoteGleanwell() {
    if (process_.hProcess != nullptr) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

bool RemoteGleanwell::Start(const std::string& exePath, int timeoutMs) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exePath + "\"";
    // As the shell starts it: with no console to inherit (Wine would hand
    // it this process's console), so a console it made would be its own.
    if (!CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, DETACHED_PROCESS,
                        nullptr, nullptr, &startup, &process_)) {
        error_ = "cannot start " + exePath + " (error " + std::to_string(GetLastError()) + ")";
        process_ = PROCESS_INFORMATION{};
        return false;
    }
    WaitForInputIdle(process_.hProcess, static_cast<DWORD>(timeoutMs));
    dialog_ = WaitForWindow("Gleanwell", process_.dwProcessId, timeoutMs);
    if (dialog_ == nullptr) {
        error_ = "no \"Gleanwell\" dialog appeared";
        return false;
    }
    return true;
}

std::string RemoteGleanwell::RemoteText(HWND list, int row, int column) {
    constexpr SIZE_T kTextSize = 1024;
    RemoteBlock block(process_.hProcess, sizeof(LVITEMA) + kTextSize);
    if (block.Address() == nullptr) {
        return std::string();
    }
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<char*>(block.Address() + sizeof(LVITEMA));
    item.cchTextMax = kTextSize;
    block.Write(0, &item, sizeof item);
    const auto length =
        SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(block.Address()));
    std::string text(kTextSize, '\0');
    block.Read(sizeof(LVITEMA), &text[0], kTextSize);
    text.resize(static_cast<size_t>(length) < kTextSize ? static_cast<size_t>(length) : 0);
    return text;
}

std::vector<HWND> RemoteGleanwell::VisibleWindows() const {
    struct Search {
        DWORD processId;
        std::vector<HWND> found;
        static BOOL CALLBACK Match(HWND window, LPARAM param) {
            auto* search = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == search->processId && IsWindowVisible(window)) {
                search->found.push_back(window);
            }
            return TRUE;
        }
    } search{process_.dwProcessId, {}};
    EnumWindows(&Search::Match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<RemoteRow> RemoteGleanwell::ReadRows() {
    std::vector<RemoteRow> rows;
    HWND list = GetDlgItem(dialog_, IDC_COLLECT_LIST);
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        const auto state = SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
        rows.push_back(RemoteRow{RemoteText(list, row, 0), RemoteText(list, row, 1),
                                 state == INDEXTOSTATEIMAGEMASK(2)});
    }
    return rows;
}

bool RemoteGleanwell::AddDataFolder(const std::string& folder, int timeoutMs) {
    return ChooseFolder(IDC_ADD_DATA, folder, timeoutMs);
}

bool RemoteGleanwell::AddOtherFolder(const std::string& folder, int timeoutMs) {
    return ChooseFolder(IDC_ADD_OTHER, folder, timeoutMs);
}

bool RemoteGleanwell::ChooseFolder(int button, const std::string& folder, int timeoutMs) {
    PostMessageA(GetDlgItem(dialog_, button), BM_CLICK, 0, 0);
    HWND browser = WaitForWindow("Browse for Folder", process_.dwProcessId, timeoutMs);
    if (browser == nullptr) {
        error_ = "the folder browser did not open";
        return false;
    }
    if (!SelectFolderInBrowser(process_.hProcess, browser, folder)) {
        PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
        error_ = "the folder browser did not select " + folder;
        return false;
    }
    PostMessageA(GetDlgItem(browser, IDOK), BM_CLICK, 0, 0);
    if (!WaitForWindowGone(browser, timeoutMs)) {
        error_ = "the folder browser did not close";
        return false;
    }
    return true;
}

bool RemoteGleanwell::PressArchive(int timeoutMs, std::string& text) {
    // Posted: the button's handler runs the whole archive and then waits in
    // the message box.
    PostMessageA(GetDlgItem(dialog_, IDC_ARCHIVE), BM_CLICK, 0, 0);
    box_ = WaitForWindow("Archive", process_.dwProcessId, timeoutMs);
    if (box_ == nullptr) {
        error_ = "no \"Archive\" message box appeared";
        return false;
    }
    char buffer[1024] = {};
    GetDlgItemTextA(box_, 0xFFFF, buffer, sizeof buffer);
    text = buffer;
    return true;
}

bool RemoteGleanwell::DismissBox(int timeoutMs) {
    PostMessageA(box_, WM_COMMAND, IDOK, 0);
    if (!WaitForWindowGone(box_, timeoutMs)) {
        error_ = "the message box did not close";
        return false;
    }
    box_ = nullptr;
    return true;
}

bool RemoteGleanwell::Close(int timeoutMs, DWORD& status) {
    PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        error_ = "the program did not end";
        return false;
    }
    GetExitCodeProcess(process_.hProcess, &status);
    return true;
}
