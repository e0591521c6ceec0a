// Marks where one thread hands data to another through a channel that ThreadSanitizer cannot see:
// Qt's event queue, whose lock (a futex in the uninstrumented Qt library) orders the sender's
// writes before the receiver's reads. Without the marks every queued event and queued call would
// be reported as a race between the thread that built it and the thread that runs it. The sender
// calls HandOverRelease(key) after writing and before queuing; the receiver HandOverAcquire(key)
// before reading, with the same key (the address of the handed-over object). Nothing at all in a
// build without ThreadSanitizer.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define ZOR_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZOR_TSAN 1
#endif
#endif

#ifdef ZOR_TSAN
extern "C" {
void __tsan_acquire(void* addr);
void __tsan_release(void* addr);
}
#endif

namespace zor {

inline void HandOverRelease([[maybe_unused]] const void* key) {
#ifdef ZOR_TSAN
    __tsan_release(const_cast<void*>(key));
#endif
}

inline void HandOverAcquire([[maybe_unused]] const void* key) {
#ifdef ZOR_TSAN
    __tsan_acquire(const_cast<void*>(key));
#endif
}

}  // namespace zor
