#include "app/window_object.h"

namespace {
// The property that leads from a bound window to its object.
const char kObjectProperty[] = "Gleanwell.WindowObject";
// The procedure a subclassed control had before, kept with the control so
// that it is still reached when the object is gone while a later subclass
// sits above ours.
const char kPreviousProperty[] = "Gleanwell.PreviousProcedure";

bool ReturnsHandlerResult(UINT message) {
    switch (message) {
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
    }
}
} // namespace

WindowObject::~WindowObject() {
    // A window that outlives its object must not lead to freed memory.
    if (window_ != nullptr && FromWindow(window_) == this) {
        RemovePropA(window_, kObjectProperty);
    }
}

void WindowObject::OnFinalMessage(HWND) {}

WindowObject* WindowObject::FromWindow(HWND window) {
    return window != nullptr ? static_cast<WindowObject*>(GetPropA(window, kObjectProperty))
                             : nullptr;
}

bool WindowObject::BindWindow(HWND window) {
    if (window == nullptr || window_ != nullptr || FromWindow(window) != nullptr) {
        return false;
    }
    if (!SetPropA(window, kObjectProperty, this)) {
        return false;
    }
    window_ = window;
    return true;
}

void WindowObject::ForgetWindow() {
    RemovePropA(window_, kObjectProperty);
    window_ = nullptr;
}

void WindowObject::ReleaseWindow() {
    HWND window = window_;
    ForgetWindow();
    OnFinalMessage(window);
}

HWND DialogWindow::CreateModeless(HINSTANCE instance, int templateId, HWND owner,
                                  LPARAM initParam) {
    PendingBinding binding(this);
    if (!binding.IsPushed() || Window() != nullptr) {
        return nullptr;
    }
    return CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), owner, DialogEntry,
                              initParam);
}

INT_PTR DialogWindow::RunModal(HINSTANCE instance, int templateId, HWND owner, LPARAM initParam) {
    PendingBinding binding(this);
    if (!binding.IsPushed() || Window() != nullptr) {
        return -1;
    }
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, DialogEntry, initParam);
}

LRESULT DialogWindow::EntryProcedure(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = Window();
    LRESULT result = 0;
    const bool handled = HandleMessage(message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        // The window is gone whoever handled the message; never keep its handle.
        if (Window() == window) {
            ReleaseWindow();
        }
        return handled ? TRUE : FALSE;
    }
    if (!handled) {
        return FALSE;
    }
    if (ReturnsHandlerResult(message)) {
        return result;
    }
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK DialogWindow::DialogEntry(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    WindowObject* object = FromWindow(window);
    if (object == nullptr) {
        WindowBindings* bindings = WindowBindings::Process();
        object = bindings != nullptr ? bindings->TakeForCurrentThread() : nullptr;
        auto* dialog = dynamic_cast<DialogWindow*>(object);
        if (dialog == nullptr || !dialog->BindWindow(window)) {
            return FALSE;
        }
    }
    return object->EntryProcedure(message, wParam, lParam);
}

SubclassedWindow::~SubclassedWindow() {
    if (Window() != nullptr && previous_ != nullptr) {
        Detach();
    }
}

bool SubclassedWindow::Attach(HWND control) {
    if (!IsWindow(control) || !BindWindow(control)) {
        return false;
    }
    SetLastError(0);
    const LONG_PTR previous =
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassEntry));
    if (previous == 0 && GetLastError() != 0) {
        ForgetWindow();
        return false;
    }
    previous_ = reinterpret_cast<WNDPROC>(previous);
    SetPropA(control, kPreviousProperty, reinterpret_cast<HANDLE>(previous));
    return true;
}

void SubclassedWindow::Detach() {
    HWND window = Window();
    if (GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(SubclassEntry)) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        RemovePropA(window, kPreviousProperty);
    }
    previous_ = nullptr;
}

LRESULT SubclassedWindow::EntryProcedure(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = Window();
    WNDPROC previous = previous_;
    LRESULT result = 0;
    const bool handled = HandleMessage(message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        if (!handled) {
            result = CallWindowProcA(previous, window, message, wParam, lParam);
        }
        if (Window() == window) {
            Detach();
            ReleaseWindow();
        }
        return result;
    }
    return handled ? result : CallWindowProcA(previous, window, message, wParam, lParam);
}

LRESULT CALLBACK SubclassedWindow::SubclassEntry(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
    WindowObject* object = FromWindow(window);
    if (object != nullptr) {
        return object->EntryProcedure(message, wParam, lParam);
    }
    // The object went away while a later subclass kept ours in the chain:
    // pass everything straight on to the control's own procedure.
    auto previous = reinterpret_cast<WNDPROC>(GetPropA(window, kPreviousProperty));
    if (message == WM_NCDESTROY) {
        RemovePropA(window, kPreviousProperty);
    }
    return previous != nullptr ? CallWindowProcA(previous, window, message, wParam, lParam)
                               : DefWindowProcA(window, message, wParam, lParam);
}
