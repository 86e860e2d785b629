// Guards that cannot miss their leave call.
#pragma once

#include "ref.hpp"

#include <cstdint>

#if defined(__linux__) && defined(__GLIBC__)
#include <pthread.h>
#endif

namespace ymod {

// Keeps a pending Python exception aside for the guard's lifetime (for
// releases in deallocators that must not see or clobber it).
class SavedError {
public:
    SavedError() noexcept {
#if PY_VERSION_HEX >= 0x030C0000
        exc_ = PyErr_GetRaisedException();
#else
        PyErr_Fetch(&type_, &value_, &traceback_);
#endif
    }
    ~SavedError() {
#if PY_VERSION_HEX >= 0x030C0000
        PyErr_SetRaisedException(exc_);
#else
        PyErr_Restore(type_, value_, traceback_);
#endif
    }
    SavedError(const SavedError&) = delete;
    SavedError& operator=(const SavedError&) = delete;

private:
#if PY_VERSION_HEX >= 0x030C0000
    PyObject* exc_;
#else
    PyObject *type_, *value_, *traceback_;
#endif
};

// Refuses re-entry into an object that is in the middle of an operation: a
// callback (read, write, a host class, a resolver method, a property) that
// calls back into the same parser or emitter gets RuntimeError instead of
// reaching libyaml or the object's half-updated state.
class BusyGuard {
public:
    // `what` names the object kind in the message ("parser", "emitter").
    BusyGuard(int& flag, const char* what) noexcept : flag_(flag) {
        if (flag_) {
            PyErr_Format(PyExc_RuntimeError,
                         "the %s is already running: a callback may not re-enter it", what);
            entered_ = false;
        } else {
            flag_ = 1;
            entered_ = true;
        }
    }
    ~BusyGuard() {
        if (entered_) flag_ = 0;
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

    // False when the object was busy (RuntimeError is set).
    bool entered() const noexcept { return entered_; }

private:
    int& flag_;
    bool entered_;
};

// True when the calling thread's C stack is close to its end. The bound
// is found once per thread; where the platform cannot tell, never true.
inline bool stack_nearly_full() noexcept {
#if defined(__linux__) && defined(__GLIBC__)
    // Lowest address a guarded level may start from; 0 while unknown.
    static thread_local std::uintptr_t floor = 0;
    static thread_local bool known = false;
    if (!known) [[unlikely]] {
        known = true;
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void* low = nullptr;
            size_t size = 0;
            if (pthread_attr_getstack(&attr, &low, &size) == 0 && low && size) {
                // Room kept for the callbacks and the interpreter below
                // the deepest level: an eighth of the stack, 64 KiB..512 KiB.
                size_t margin = size / 8;
                if (margin < (64u << 10)) margin = 64u << 10;
                if (margin > (512u << 10)) margin = 512u << 10;
                if (margin < size) floor = reinterpret_cast<std::uintptr_t>(low) + margin;
            }
            pthread_attr_destroy(&attr);
        }
    }
    auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    return floor != 0 && here < floor;
#else
    return false;
#endif
}

// Bounds the nesting of the composer and the serializer with a counter of
// our own, so every supported interpreter stops at the same depth long
// before the C stack is at risk; a thread with a small stack, or a build
// whose frames are larger (sanitizers), stops earlier, when the stack
// itself runs low.
class DepthGuard {
public:
    static constexpr int kLimit = 10000;

    explicit DepthGuard(int& depth) noexcept : depth_(depth) {
        if (depth_ >= kLimit) {
            PyErr_Format(PyExc_RecursionError,
                         "maximum nesting depth exceeded (%d levels)", kLimit);
            entered_ = false;
        } else if (stack_nearly_full()) {
            PyErr_Format(PyExc_RecursionError,
                         "nesting too deep for the C stack (%d levels)", depth_);
            entered_ = false;
        } else {
            ++depth_;
            entered_ = true;
        }
    }
    ~DepthGuard() {
        if (entered_) --depth_;
    }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

    bool entered() const noexcept { return entered_; }

private:
    int& depth_;
    bool entered_;
};

}  // namespace ymod
