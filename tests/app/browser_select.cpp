#include "browser_select.h"

#include <commctrl.h>
#include <shlobj.h>

#include <vector>

namespace {

// Levels of the shell namespace above a drive (the desktop, the computer).
constexpr int kLevelsAboveDrive = 2;

class TreeReader {
public:
    TreeReader(HANDLE process, HWND tree) : process_(process), tree_(tree) {
        block_ = static_cast<BYTE*>(
            VirtualAllocEx(process_, nullptr, kBlock, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~TreeReader() {
        if (block_ != nullptr) {
            VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
        }
    }
    TreeReader(const TreeReader&) = delete;
    TreeReader& operator=(const TreeReader&) = delete;

    std::string Text(HTREEITEM item) const {
        if (block_ == nullptr || item == nullptr) {
            return std::string();
        }
        TVITEMA query{};
        query.mask = TVIF_TEXT;
        query.hItem = item;
        query.pszText = reinterpret_cast<char*>(block_ + sizeof(TVITEMA));
        query.cchTextMax = MAX_PATH;
        WriteProcessMemory(process_, block_, &query, sizeof query, nullptr);
        SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(block_));
        char text[MAX_PATH + 1] = {};
        ReadProcessMemory(process_, block_ + sizeof(TVITEMA), text, MAX_PATH, nullptr);
        return text;
    }
    HTREEITEM Next(HTREEITEM item, UINT relation) const {
        return reinterpret_cast<HTREEITEM>(
            SendMessageA(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    }
    void Expand(HTREEITEM item) const {
        SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    }

private:
    static constexpr SIZE_T kBlock = sizeof(TVITEMA) + MAX_PATH + 1;
    HANDLE process_;
    HWND tree_;
    BYTE* block_ = nullptr;
};

std::vector<std::string> Components(const std::string& folder) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = folder.find('\\', start);
        if (end == std::string::npos) {
            if (start < folder.size()) {
                parts.push_back(folder.substr(start));
            }
            return parts;
        }
        if (end > start) {
            parts.push_back(folder.substr(start, end - start));
        }
        start = end + 1;
    }
}

// A tree item names a component when the texts agree; a drive "C:" is shown
// with its label, as "... (C:)".
bool Names(const std::string& text, const std::string& part) {
    if (lstrcmpiA(text.c_str(), part.c_str()) == 0) {
        return true;
    }
    return part.size() == 2 && part[1] == ':' && text.find("(" + part + ")") != std::string::npos;
}

HTREEITEM Walk(const TreeReader& tree, HTREEITEM item, const std::vector<std::string>& parts,
               size_t index, int above) {
    if (Names(tree.Text(item), parts[index])) {
        if (index + 1 == parts.size()) {
            return item;
        }
        tree.Expand(item);
        for (HTREEITEM child = tree.Next(item, TVGN_CHILD); child != nullptr;
             child = tree.Next(child, TVGN_NEXT)) {
            if (HTREEITEM found = Walk(tree, child, parts, index + 1, kLevelsAboveDrive)) {
                return found;
            }
        }
        return nullptr;
    }
    if (above >= kLevelsAboveDrive) {
        return nullptr;
    }
    tree.Expand(item);
    for (HTREEITEM child = tree.Next(item, TVGN_CHILD); child != nullptr;
         child = tree.Next(child, TVGN_NEXT)) {
        if (HTREEITEM found = Walk(tree, child, parts, index, above + 1)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

bool SelectFolderInBrowser(HANDLE process, HWND browser, const std::string& folder) {
    HWND treeWindow = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    const std::vector<std::string> parts = Components(folder);
    if (treeWindow == nullptr || parts.empty()) {
        return false;
    }
    TreeReader tree(process, treeWindow);
    auto isSelected = [&] {
        return lstrcmpiA(tree.Text(tree.Next(nullptr, TVGN_CARET)).c_str(), parts.back().c_str()) ==
               0;
    };

    void* text = VirtualAllocEx(process, nullptr, folder.size() + 1, MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
    if (text != nullptr) {
        WriteProcessMemory(process, text, folder.c_str(), folder.size() + 1, nullptr);
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(text));
        VirtualFreeEx(process, text, 0, MEM_RELEASE);
    }
    if (isSelected()) {
        return true;
    }
    HTREEITEM root = tree.Next(nullptr, TVGN_ROOT);
    for (size_t first = 0; first < parts.size(); ++first) {
        if (HTREEITEM found = Walk(tree, root, parts, first, 0)) {
            SendMessageA(treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(found));
            break;
        }
    }
    return isSelected();
}
