#pragma once
// The Options dialog (template 201): shows the product's installation
// directory (read-only) and lets the user type or pick the project folder.
// Both are stored after OK, each only when it names an existing folder.
#include <windows.h>

#include "app/window_object.h"
#include "common/wide_text.h"

class OptionsDialog : public DialogWindow {
public:
    /* Reads both locations, shows the dialog modally from template 201 of
       `instance` owned by the active window, and after OK stores the
       installation directory and then the project folder (the store
       operations keep only existing folders). Cancel, closing the dialog or a
       dialog that cannot be created stores nothing. */
    void Run(HINSTANCE instance);

    /* Moves the texts between the dialog's values and its boxes: into the
       boxes when `toBoxes`, else out of them. `control` is 1009, 1010, or -1
       for 1009 then 1010. At the first control that fails: the simple beep,
       the focus to that control, and the rest is skipped. Returns false then,
       true otherwise. */
    bool ExchangeValues(bool toBoxes, int control);

    /* The current texts: null before Run reads them or after a failed read. */
    const WideText& InstallDirectoryText() const { return installDirectory_; }
    const WideText& ProjectFolderText() const { return projectFolder_; }

    /* WM_INITDIALOG (centre over the parent, fill both boxes), OK (read both
       boxes, end with 1), Cancel (end with 2) and a click on "..." (browse
       for the project folder); nothing else. */
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool ExchangeOne(bool toBoxes, int control, WideText& text);
    void BrowseForProject();

    WideText installDirectory_;
    WideText projectFolder_;
};
