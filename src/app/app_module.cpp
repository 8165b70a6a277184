#include "app/app_module.h"

#include <cstdlib>

namespace {
AppModule* currentModule = nullptr;
constexpr std::size_t kInitialThreads = 4;
} // namespace

HRESULT AppModule::Init(HINSTANCE instance) {
    instance_ = instance;
    threadId_ = GetCurrentThreadId();
    bindings_.Init();
    bindingsReady_ = true;
    currentModule = this;
    count_ = 0;
    capacity_ = 0;
    return Grow() ? S_OK : E_OUTOFMEMORY;
}

void AppModule::Term() {
    std::free(threadIds_);
    std::free(loops_);
    threadIds_ = nullptr;
    loops_ = nullptr;
    count_ = capacity_ = 0;
    if (bindingsReady_) {
        bindings_.Delete();
        bindingsReady_ = false;
    }
    if (currentModule == this) {
        currentModule = nullptr;
    }
}

AppModule* AppModule::Current() {
    return currentModule;
}

bool AppModule::Grow() {
    const std::size_t grown = capacity_ == 0 ? kInitialThreads : capacity_ * 2;
    void* ids = std::realloc(threadIds_, grown * sizeof(DWORD));
    if (ids == nullptr) {
        return false;
    }
    threadIds_ = static_cast<DWORD*>(ids);
    void* loops = std::realloc(loops_, grown * sizeof(MessageLoop*));
    if (loops == nullptr) {
        return false;
    }
    loops_ = static_cast<MessageLoop**>(loops);
    capacity_ = grown;
    return true;
}

int AppModule::FindThread(DWORD threadId) const {
    for (std::size_t i = 0; i < count_; ++i) {
        if (threadIds_[i] == threadId) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool AppModule::AddMessageLoop(MessageLoop* loop) {
    const DWORD thread = GetCurrentThreadId();
    if (FindThread(thread) >= 0) {
        return false;
    }
    if (count_ == capacity_ && !Grow()) {
        return false;
    }
    threadIds_[count_] = thread;
    loops_[count_] = loop;
    ++count_;
    return true;
}

bool AppModule::RemoveMessageLoop() {
    const int index = FindThread(GetCurrentThreadId());
    if (index < 0) {
        return false;
    }
    for (std::size_t i = static_cast<std::size_t>(index) + 1; i < count_; ++i) {
        threadIds_[i - 1] = threadIds_[i];
        loops_[i - 1] = loops_[i];
    }
    --count_;
    return true;
}

MessageLoop* AppModule::GetMessageLoop(DWORD threadId) const {
    const int index = FindThread(threadId);
    return index < 0 ? nullptr : loops_[index];
}
