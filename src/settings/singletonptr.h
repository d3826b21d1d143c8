#pragma once

#include <new>
#include <utility>

namespace vantry {

// A counted holder that gives the whole process one shared T: the first live holder creates it
// and the last one destroys it. The program keeps one holder alive in main() for the whole run
// (tests keep one in a fixture), so code elsewhere simply calls SingletonPtr<T>::instance().
template <class T> class SingletonPtr {
public:
    // Thrown by every access while no object exists (never created, failed to allocate, or
    // already destroyed).
    struct AccessError {};

    SingletonPtr() {
        // Counting only after construction succeeded keeps the counter right when T's
        // constructor throws, since no destructor will run for this holder then.
        if (count == 0) {
            object = new (std::nothrow) T;
        }
        ++count;
    }

    ~SingletonPtr() {
        if (--count == 0) {
            // Clear the pointer first so that anything reached from T's destructor sees the
            // object as gone instead of using a half-destroyed one.
            delete std::exchange(object, nullptr);
        }
    }

    SingletonPtr(const SingletonPtr&) = delete;
    SingletonPtr& operator=(const SingletonPtr&) = delete;

    T* operator->() const { return &instance(); }
    T& operator*() const { return instance(); }

    static T& instance() {
        if (object == nullptr) {
            throw AccessError{};
        }
        return *object;
    }

private:
    inline static int count = 0;
    inline static T* object = nullptr;
};

} // namespace vantry
