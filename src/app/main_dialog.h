#pragma once
// The program's only top-level window: the modeless "Gleanwell" dialog with
// the collection list and its five buttons. It filters the thread's messages
// for its keyboard handling and ends the program when it is closed.
#include <windows.h>

#include "app/message_loop.h"
#include "app/window_object.h"
#include "collect_list/collection_list.h"

class MainDialog : public DialogWindow, public MessageFilter, public IdleHandler {
public:
    /* Makes the (unattached) collection list. The program makes no console:
       the registry exports start their tool without one, and a hidden
       console is not hidden where a terminal application hosts consoles. */
    MainDialog() = default;

    /* Destroys the window if it is still there, then releases the collection
       list. */
    ~MainDialog() override;

    /* Creates the dialog modelessly from template 129 of `instance`, with no
       owner; its initialisation runs inside this call. The dialog stays hidden
       until shown. Returns its window, or null when it cannot be created. */
    HWND Create(HINSTANCE instance);

    /* The list of sources that the Archive command reads. */
    CollectionList& List() { return list_; }

    /* Gives every message to IsDialogMessageA with this dialog's window, for
       Tab and arrow navigation, Enter as IDOK, Escape as IDCANCEL and the
       mnemonics. Returns true when that consumed it. */
    bool PreTranslateMessage(MSG* msg) override;

    /* Nothing to do while idle; returns false. */
    bool OnIdle() override;

    /* WM_INITDIALOG and the command table: About (57664), close (1, 2) on
       any notification; Add Data, Add Other, Archive and Options (1003-1008)
       on BN_CLICKED only. */
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnInitDialog();
    void OnClose(int id);
    void OnAbout();
    void OnAddData();
    void OnAddOther();
    void OnArchive();
    void OnOptions();

    HINSTANCE instance_ = nullptr;
    CollectionList list_;
};
