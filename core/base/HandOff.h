#pragma once

namespace tamrel {

// Tells ThreadSanitizer of a hand-over between threads that goes through code it does not see
// (a Qt event queue, a Qt thread pool): everything the sending thread did before handOffSent(p)
// happens before what the receiving thread does after handOffReceived(p), p being the address
// of what is handed over. Nothing at all in other builds.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
inline void handOffSent(void* p) {
    __tsan_release(p);
}
inline void handOffReceived(void* p) {
    __tsan_acquire(p);
}
#else
inline void handOffSent(void*) {}
inline void handOffReceived(void*) {}
#endif

}  // namespace tamrel
