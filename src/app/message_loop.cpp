#include "app/message_loop.h"

#include <cstdlib>

namespace {
// Sent by the system while a caret blinks; idle work does not follow it.
constexpr UINT kSystemTimer = 0x0118;
} // namespace

template <typename T> bool MessageLoop::RefList<T>::Append(T* item) {
    if (count == capacity) {
        const std::size_t grown = capacity == 0 ? 1 : capacity * 2;
        void* bigger = std::realloc(items, grown * sizeof(T*));
        if (bigger == nullptr) {
            return false;
        }
        items = static_cast<T**>(bigger);
        capacity = grown;
    }
    items[count++] = item;
    return true;
}

template <typename T> void MessageLoop::RefList<T>::Free() {
    std::free(items);
    items = nullptr;
    count = capacity = 0;
}

MessageLoop::~MessageLoop() {
    filters_.Free();
    idleHandlers_.Free();
}

bool MessageLoop::AddMessageFilter(MessageFilter* filter) {
    return filters_.Append(filter);
}

bool MessageLoop::AddIdleHandler(IdleHandler* handler) {
    return idleHandlers_.Append(handler);
}

bool MessageLoop::IsIdleMessage(const MSG& msg) {
    return msg.message == WM_MOUSEMOVE || msg.message == WM_NCMOUSEMOVE ||
           msg.message == WM_PAINT || msg.message == kSystemTimer;
}

bool MessageLoop::OnIdle(int /*idleCount*/) {
    for (std::size_t i = 0; i < idleHandlers_.count; ++i) {
        idleHandlers_.items[i]->OnIdle();
    }
    return false;
}

bool MessageLoop::PreTranslateMessage(MSG* msg) {
    for (std::size_t i = filters_.count; i > 0; --i) {
        if (filters_.items[i - 1]->PreTranslateMessage(msg)) {
            return true;
        }
    }
    return false;
}

int MessageLoop::Run() {
    bool idleAllowed = true;
    int idleCount = 0;
    for (;;) {
        while (idleAllowed && !PeekMessageA(&msg_, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) {
                idleAllowed = false;
            }
        }
        const BOOL got = GetMessageA(&msg_, nullptr, 0, 0);
        if (got == -1) {
            continue;
        }
        if (got == 0) {
            break;
        }
        if (!PreTranslateMessage(&msg_)) {
            TranslateMessage(&msg_);
            DispatchMessageA(&msg_);
        }
        if (!IsIdleMessage(msg_)) {
            idleAllowed = true;
            idleCount = 0;
        }
    }
    return static_cast<int>(msg_.wParam);
}
