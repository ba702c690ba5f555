// What a thread works with now, made explicit: a scope object puts one
// value in force on the calling thread for as long as it lives, and the one
// before back when it ends. The application's environment reaches the
// framework-style accessors (the main screen, the shared random source, the
// graphics back end) this way while a host drives that application, so two
// applications on two threads never see each other's.
#pragma once

namespace platform {

template <class T>
class Current {
public:
    // Puts `value` in force on this thread; none hides an outer one.
    explicit Current(T* value) : previous_(innermost_) { innermost_ = value; }
    explicit Current(T& value) : Current(&value) {}
    ~Current() { innermost_ = previous_; }
    Current(const Current&) = delete;
    Current& operator=(const Current&) = delete;

    // The value in force on this thread, or none.
    static T* get() { return innermost_; }

private:
    static inline thread_local T* innermost_ = nullptr;
    T* previous_;
};

}  // namespace platform
