#pragma once
// The process-wide module: the instance every resource comes from, the thread
// that set it up, each user-interface thread's message loop, and the stack of
// pending window bindings with its lock.
#include <cstddef>

#include <windows.h>

#include "app/window_bindings.h"

class MessageLoop;

class AppModule {
public:
    AppModule() = default;
    AppModule(const AppModule&) = delete;
    AppModule& operator=(const AppModule&) = delete;

    /* Takes the instance that holds the program's resources. Records it and
       the calling thread's id, sets up the binding stack and its lock, and
       becomes the module that Current() returns. Returns E_OUTOFMEMORY when
       the thread map cannot be allocated (the module stays usable without
       loops), S_OK otherwise. */
    HRESULT Init(HINSTANCE instance);

    /* Frees the thread map, deletes the binding stack's lock and stops being
       Current(). Loops still registered are not deleted (their owners do). */
    void Term();

    /* The module set up by Init and not yet torn down, or null. */
    static AppModule* Current();

    /* The instance given to Init. */
    HINSTANCE Instance() const { return instance_; }

    /* The id of the thread that called Init. */
    DWORD MainThreadId() const { return threadId_; }

    /* Registers the calling thread's loop. Returns false when the thread
       already has one or the map cannot grow. */
    bool AddMessageLoop(MessageLoop* loop);

    /* Unregisters the calling thread's loop. Returns false when it had none. */
    bool RemoveMessageLoop();

    /* Returns the loop registered for the thread (the calling thread by
       default), or null. */
    MessageLoop* GetMessageLoop(DWORD threadId = GetCurrentThreadId()) const;

private:
    // Index of the thread in the map, or -1.
    int FindThread(DWORD threadId) const;
    bool Grow();

    HINSTANCE instance_ = nullptr;
    DWORD threadId_ = 0;
    WindowBindings bindings_;
    bool bindingsReady_ = false;
    // The thread map: parallel arrays of thread ids and their loops, searched
    // linearly; added at the end, removed by shifting the tail down.
    DWORD* threadIds_ = nullptr;
    MessageLoop** loops_ = nullptr;
    std::size_t count_ = 0;
    std::size_t capacity_ = 0;
};
