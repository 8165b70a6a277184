#include "settings/options_dialog.h"

#include <vector>

#include "app/center_on_owner.h"
#include "app/folder_browser.h"
#include "app/resource_ids.h"
#include "common/exact_narrow.h"
#include "settings/install_locations.h"

void OptionsDialog::Run(HINSTANCE instance) {
    installDirectory_ = ReadInstallDirectory();
    projectFolder_ = ReadProjectFolder();
    const INT_PTR ended = RunModal(instance, IDD_OPTIONS, GetActiveWindow());
    if (ended == IDOK) {
        // A text left without a wide form stores as nothing (an empty text is
        // never an existing folder).
        const char* install = installDirectory_.Narrow();
        StoreInstallDirectory(install != nullptr ? install : "");
        const char* project = projectFolder_.Narrow();
        StoreProjectFolder(project != nullptr ? project : "");
    }
    installDirectory_ = WideText();
    projectFolder_ = WideText();
}

bool OptionsDialog::ExchangeValues(bool toBoxes, int control) {
    if (control == IDC_INSTALL_DIR || control == -1) {
        if (!ExchangeOne(toBoxes, IDC_INSTALL_DIR, installDirectory_)) {
            return false;
        }
    }
    if (control == IDC_PROJECT_DIR || control == -1) {
        if (!ExchangeOne(toBoxes, IDC_PROJECT_DIR, projectFolder_)) {
            return false;
        }
    }
    return true;
}

bool OptionsDialog::ExchangeOne(bool toBoxes, int control, WideText& text) {
    HWND box = GetDlgItem(Window(), control);
    bool ok = box != nullptr;
    if (ok && toBoxes) {
        const char* narrow = text.Narrow();
        ok = SetDlgItemTextA(Window(), control, narrow != nullptr ? narrow : "") != FALSE;
    } else if (ok) {
        text = WideText();
        // Read in UTF-16: the narrow call would hand out a best-fit form of a
        // character the code page cannot hold, which could name another
        // folder; '?' names none.
        const int length = GetWindowTextLengthW(box);
        if (length == 0) {
            text = WideText("");
        } else {
            std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
            ok = GetWindowTextW(box, buffer.data(), length + 1) != 0;
            if (ok) {
                std::vector<char> narrow(buffer.size() * kMaxBytesPerUnit);
                ToExactNarrow(buffer.data(), narrow.data(), narrow.size());
                text = WideText(narrow.data());
            }
        }
    }
    if (!ok) {
        MessageBeep(0xFFFFFFFF);
        SetFocus(box);
    }
    return ok;
}

void OptionsDialog::BrowseForProject() {
    NarrowText path;
    if (!BrowseForAnyFolder(GetActiveWindow(), path)) {
        return;
    }
    projectFolder_ = WideText(path.CStr());
    ExchangeValues(true, -1);
}

bool OptionsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/, LRESULT& result) {
    if (message == WM_INITDIALOG) {
        CenterOnOwner(Window(), GetParent(Window()));
        ExchangeValues(true, -1);
        result = TRUE;
        return true;
    }
    if (message != WM_COMMAND) {
        return false;
    }
    switch (LOWORD(wParam)) {
    case IDOK:
        ExchangeValues(false, -1);
        EndDialog(Window(), IDOK);
        return true;
    case IDCANCEL:
        EndDialog(Window(), IDCANCEL);
        return true;
    case IDC_BROWSE_PROJECT:
        if (HIWORD(wParam) == BN_CLICKED) {
            BrowseForProject();
            return true;
        }
        return false;
    default:
        return false;
    }
}
