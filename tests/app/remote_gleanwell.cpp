#include "remote_gleanwell.h"

#include <commctrl.h>
#include <shlobj.h>

#include "app/resource_ids.h"
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
    if (!CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process_)) {
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

std::string RemoteGleanwell::TreeItemText(HWND tree, HTREEITEM item) {
    constexpr SIZE_T kTextSize = MAX_PATH;
    RemoteBlock block(process_.hProcess, sizeof(TVITEMA) + kTextSize);
    if (block.Address() == nullptr) {
        return std::string();
    }
    TVITEMA query{};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = reinterpret_cast<char*>(block.Address() + sizeof(TVITEMA));
    query.cchTextMax = kTextSize;
    block.Write(0, &query, sizeof query);
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(block.Address()));
    char text[kTextSize] = {};
    block.Read(sizeof(TVITEMA), text, kTextSize - 1);
    return text;
}

bool RemoteGleanwell::SelectInTree(HWND tree, const std::string& folder) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= folder.size()) {
        const size_t end = folder.find('\\', start);
        parts.push_back(
            folder.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    const std::string rootText = TreeItemText(tree, item);
    size_t next = 0;
    while (next < parts.size() && lstrcmpiA(parts[next].c_str(), rootText.c_str()) != 0) {
        ++next;
    }
    if (next == parts.size()) {
        return false;
    }
    for (++next; next < parts.size() && item != nullptr; ++next) {
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        auto child = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        while (child != nullptr &&
               lstrcmpiA(TreeItemText(tree, child).c_str(), parts[next].c_str()) != 0) {
            child = reinterpret_cast<HTREEITEM>(
                SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)));
        }
        item = child;
    }
    return item != nullptr &&
           SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
}

bool RemoteGleanwell::AddDataFolder(const std::string& folder, int timeoutMs) {
    PostMessageA(GetDlgItem(dialog_, IDC_ADD_DATA), BM_CLICK, 0, 0);
    HWND browser = WaitForWindow("Browse for Folder", process_.dwProcessId, timeoutMs);
    if (browser == nullptr) {
        error_ = "the folder browser did not open";
        return false;
    }
    // The status line follows the selection. Wine's browser may not find a
    // path given as text in a tree it has just made; then the folder is
    // selected by walking the tree from its root item.
    RemoteBlock path(process_.hProcess, folder.size() + 1);
    path.Write(0, folder.c_str(), folder.size() + 1);
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.Address()));
    if (!DialogShowsText(browser, folder)) {
        SelectInTree(FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr), folder);
    }
    if (!DialogShowsText(browser, folder)) {
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
