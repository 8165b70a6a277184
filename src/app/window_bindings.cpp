#include "app/window_bindings.h"

namespace {
WindowBindings* processBindings = nullptr;
}

void WindowBindings::Init() {
    InitializeCriticalSection(&lock_);
    top_ = nullptr;
    processBindings = this;
}

void WindowBindings::Delete() {
    if (processBindings == this) {
        processBindings = nullptr;
    }
    top_ = nullptr;
    DeleteCriticalSection(&lock_);
}

void WindowBindings::Push(WindowBinding* record) {
    EnterCriticalSection(&lock_);
    record->next = top_;
    top_ = record;
    LeaveCriticalSection(&lock_);
}

bool WindowBindings::Remove(WindowBinding* record) {
    bool found = false;
    EnterCriticalSection(&lock_);
    for (WindowBinding** link = &top_; *link != nullptr; link = &(*link)->next) {
        if (*link == record) {
            *link = record->next;
            found = true;
            break;
        }
    }
    LeaveCriticalSection(&lock_);
    return found;
}

WindowObject* WindowBindings::TakeForCurrentThread() {
    const DWORD thread = GetCurrentThreadId();
    WindowObject* object = nullptr;
    EnterCriticalSection(&lock_);
    for (WindowBinding** link = &top_; *link != nullptr; link = &(*link)->next) {
        if ((*link)->threadId == thread) {
            object = (*link)->object;
            *link = (*link)->next;
            break;
        }
    }
    LeaveCriticalSection(&lock_);
    return object;
}

WindowBindings* WindowBindings::Process() {
    return processBindings;
}

PendingBinding::PendingBinding(WindowObject* object)
    : record_{object, GetCurrentThreadId(), nullptr}, bindings_(WindowBindings::Process()) {
    if (bindings_ != nullptr) {
        bindings_->Push(&record_);
    }
}

PendingBinding::~PendingBinding() {
    if (bindings_ != nullptr) {
        bindings_->Remove(&record_);
    }
}
