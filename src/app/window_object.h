#pragma once
// Window objects: every window of the program is tied to an object whose
// message handler sees its messages. Dialogs are bound on their first message
// through the pending WindowBinding stack; an existing control is subclassed.
#include <windows.h>

#include "app/window_bindings.h"

// The common base. The object keeps its window handle; after binding, a
// window property leads from the handle back to the object.
class WindowObject {
public:
    WindowObject(const WindowObject&) = delete;
    WindowObject& operator=(const WindowObject&) = delete;
    virtual ~WindowObject();

    // The bound window, or null before binding and after WM_NCDESTROY.
    HWND Window() const { return window_; }

    // The message handler: returns true when it handled the message, with the
    // handler's result in result (which starts at 0).
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

    // The entry procedure: what the window's procedure returns to the system
    // for one message of the bound window.
    virtual LRESULT EntryProcedure(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Called once the window has gone (after WM_NCDESTROY); the object no
    // longer refers to it. Does nothing unless overridden.
    virtual void OnFinalMessage(HWND window);

    // The object bound to a window, or null.
    static WindowObject* FromWindow(HWND window);

protected:
    WindowObject() = default;

    // Records the window and marks it as this object's. Fails when the window
    // is null or already has an object.
    bool BindWindow(HWND window);

    // Forgets the window without any notification.
    void ForgetWindow();

    // Forgets the window and calls OnFinalMessage. The object may be deleted
    // by OnFinalMessage: touch no member afterwards.
    void ReleaseWindow();

private:
    HWND window_ = nullptr;
};

// A dialog window object. Its window is created through CreateModeless or
// RunModal, which push the binding that the common dialog entry procedure
// takes on the first message.
class DialogWindow : public WindowObject {
public:
    // Creates a modeless dialog from a template; returns its window, or null
    // when the template, the binding stack or the window is missing. The
    // WM_INITDIALOG handling runs inside this call.
    HWND CreateModeless(HINSTANCE instance, int templateId, HWND owner, LPARAM initParam = 0);

    // Runs a modal dialog from a template to its end; returns the value given
    // to EndDialog, or -1 when the dialog could not be created.
    INT_PTR RunModal(HINSTANCE instance, int templateId, HWND owner, LPARAM initParam = 0);

    // Applies the dialog return-value rule: unhandled messages give FALSE
    // (default dialog processing); WM_COMPAREITEM, WM_VKEYTOITEM,
    // WM_CHARTOITEM, WM_INITDIALOG, WM_QUERYDRAGICON and the WM_CTLCOLOR*
    // messages give the handler's result unchanged; every other handled
    // message stores the result as DWLP_MSGRESULT and gives TRUE. After
    // WM_NCDESTROY the object forgets its window.
    LRESULT EntryProcedure(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The common dialog entry procedure, for any dialog bound this way.
    static INT_PTR CALLBACK DialogEntry(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// A window object that subclasses an existing control.
class SubclassedWindow : public WindowObject {
public:
    // Restores the control's procedure if the control outlives the object.
    ~SubclassedWindow() override;

    // Installs the object as the control's window procedure and keeps the
    // previous one. Returns false, leaving the object unattached and the
    // control untouched, when the control is not a window, already has an
    // object, or the procedure cannot be replaced.
    bool Attach(HWND control);

    // Handled messages return the handler's result; the others go to the kept
    // procedure. On WM_NCDESTROY the kept procedure runs first (unless the
    // handler took the message), then it is put back if the control's
    // procedure is still ours, and the object forgets the window.
    LRESULT EntryProcedure(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The control's procedure from before Attach, or null when unattached.
    WNDPROC PreviousProcedure() const { return previous_; }

private:
    static LRESULT CALLBACK SubclassEntry(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();

    WNDPROC previous_ = nullptr;
};
