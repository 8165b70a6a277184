#pragma once
// The About box (template 100): the program's name and version over its icon.
#include <windows.h>

#include "app/window_object.h"

class AboutDialog : public DialogWindow {
public:
    /* Shows the box modally from template 100 of `instance`, owned by
       `owner`, until OK, Escape or the close box ends it. Returns the id
       that ended it (1 or 2), or -1 when it could not be created. */
    INT_PTR Run(HINSTANCE instance, HWND owner);

    /* Centres the box over its owner on WM_INITDIALOG (result TRUE) and ends
       it on WM_COMMAND 1 or 2; nothing else is handled. */
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};
