#pragma once
// The stack of pending window bindings: how a dialog that is about to be
// created finds its object when its first message arrives.
#include <windows.h>

class WindowObject;

// One pending binding: the object that is about to own a window, and the
// thread that creates that window.
struct WindowBinding {
    WindowObject* object;
    DWORD threadId;
    WindowBinding* next;
};

// The process's stack of pending bindings and the lock that guards it. The
// process owns one (AppModule); tests may set up their own.
class WindowBindings {
public:
    // Sets up the lock and an empty stack, and makes this the stack that the
    // common dialog entry procedure consults. Call once before any dialog is
    // created.
    void Init();

    // Stops being the process's stack and deletes the lock. Records still
    // pending are dropped (they belong to their creators).
    void Delete();

    // Links a record on top of the stack under the lock. The record must stay
    // alive until it is taken or removed.
    void Push(WindowBinding* record);

    // Unlinks the record under the lock if it is still pending; a record that
    // was taken is left alone. Returns true when it was still pending.
    bool Remove(WindowBinding* record);

    // Unlinks and returns the object of the first record created by the
    // calling thread, or null when that thread has none pending.
    WindowObject* TakeForCurrentThread();

    // The stack set up with Init, or null when none is.
    static WindowBindings* Process();

private:
    CRITICAL_SECTION lock_{};
    WindowBinding* top_ = nullptr;
};

// Pushes a binding for an object on construction and removes it on
// destruction if no window took it, so that a creation that failed before its
// first message leaves no record pointing into a finished stack frame.
class PendingBinding {
public:
    // Pushes {object, current thread} onto the process's stack, if there is one.
    explicit PendingBinding(WindowObject* object);
    ~PendingBinding();
    PendingBinding(const PendingBinding&) = delete;
    PendingBinding& operator=(const PendingBinding&) = delete;

    // True when a stack was there to push onto.
    bool IsPushed() const { return bindings_ != nullptr; }

private:
    WindowBinding record_;
    WindowBindings* bindings_;
};
