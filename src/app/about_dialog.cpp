#include "app/about_dialog.h"

#include "app/center_on_owner.h"
#include "app/resource_ids.h"

INT_PTR AboutDialog::Run(HINSTANCE instance, HWND owner) {
    return RunModal(instance, IDD_ABOUTBOX, owner);
}

bool AboutDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/, LRESULT& result) {
    if (message == WM_INITDIALOG) {
        CenterOnOwner(Window(), GetParent(Window()));
        result = TRUE;
        return true;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(Window(), LOWORD(wParam));
        return true;
    }
    return false;
}
