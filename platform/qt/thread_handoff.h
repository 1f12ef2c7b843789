#pragma once
// Qt's cross-thread calls synchronise through futexes inside Qt, which
// ThreadSanitizer does not see. These mark the same ordering for it: a
// release before handing work to another thread, an acquire where the work
// starts, and the reverse on the way back; the call object Qt builds and
// frees on the calling thread is left out of its view. Without ThreadSanitizer
// they compile to nothing.
#include <QObject>

#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
// In the runtime, not in its header.
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

inline void HandoffRelease([[maybe_unused]] void* token)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(token);
#endif
}

inline void HandoffAcquire([[maybe_unused]] void* token)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(token);
#endif
}

// While alive, the calling thread's memory accesses are not checked: only
// around Qt's own call machinery.
class QtCallMachineryUnchecked {
public:
    QtCallMachineryUnchecked()
    {
#if defined(__SANITIZE_THREAD__)
        __tsan_ignore_thread_begin();
#endif
    }
    ~QtCallMachineryUnchecked()
    {
#if defined(__SANITIZE_THREAD__)
        __tsan_ignore_thread_end();
#endif
    }
    QtCallMachineryUnchecked(const QtCallMachineryUnchecked&) = delete;
    QtCallMachineryUnchecked& operator=(const QtCallMachineryUnchecked&) = delete;
};

// Queues work to run on target's thread, the hand-over marked by token.
template <typename Work>
void PostQueued(QObject* target, void* token, Work work)
{
    HandoffRelease(token);
    QtCallMachineryUnchecked unchecked;
    QMetaObject::invokeMethod(
        target,
        [token, work = std::move(work)]() mutable {
            HandoffAcquire(token);
            work();
        },
        Qt::QueuedConnection);
}
