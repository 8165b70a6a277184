#pragma once
// The user-interface thread's message loop: message filters that may consume a
// message before it is dispatched, and idle handlers that run once whenever the
// queue runs dry after a message that matters.
#include <cstddef>

#include <windows.h>

// Something that may consume a message before it is translated and dispatched.
class MessageFilter {
public:
    /* Takes the message just retrieved; returns true when it consumed it, so
       that neither a later filter nor dispatching sees it. */
    virtual bool PreTranslateMessage(MSG* msg) = 0;

protected:
    ~MessageFilter() = default;
};

// Something that does work while the queue is empty.
class IdleHandler {
public:
    /* Called once per idle pass; returns true when it wants another call
       before the next message. */
    virtual bool OnIdle() = 0;

protected:
    ~IdleHandler() = default;
};

class MessageLoop {
public:
    MessageLoop() = default;
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;
    ~MessageLoop();

    /* Adds a filter; filters are asked newest first. The filter must outlive
       the loop's run. Returns false when the list cannot grow. */
    bool AddMessageFilter(MessageFilter* filter);

    /* Adds an idle handler; handlers are called in the order added. Returns
       false when the list cannot grow. */
    bool AddIdleHandler(IdleHandler* handler);

    /* Pumps the calling thread's queue until WM_QUIT and returns its wParam.
       After every message other than mouse moves, paints and the system timer
       the loop allows one idle pass once the queue is empty. */
    int Run();

    /* The message being handled (the last one retrieved). */
    const MSG& CurrentMessage() const { return msg_; }

    /* True for the messages that do not re-arm the idle pass. */
    static bool IsIdleMessage(const MSG& msg);

private:
    // A list of references that grows by doubling its capacity: 1, 2, 4, ...
    template <typename T> struct RefList {
        T** items = nullptr;
        std::size_t count = 0;
        std::size_t capacity = 0;
        bool Append(T* item);
        void Free();
    };

    // Calls every idle handler in order; always false, so each arming gives
    // exactly one pass.
    bool OnIdle(int idleCount);
    // Offers the message to the filters, newest first.
    bool PreTranslateMessage(MSG* msg);

    RefList<MessageFilter> filters_;
    RefList<IdleHandler> idleHandlers_;
    MSG msg_{};
};
