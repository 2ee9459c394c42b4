// Storage for the process-wide objects of the platform and the program: the object is made in
// place and its destructor never runs.
//
//     Table& TheTable() {
//         static platform::NeverDestroyed<Table> table;
//         return table.get();
//     }
//
// WATCHOUT: other threads may still post, draw, write files or record while the process ends,
// after static objects have been destroyed; they must find the object, not a destroyed one.
#pragma once

#include <new>
#include <utility>

namespace platform {

template <typename T>
class NeverDestroyed {
public:
    template <typename... Args>
    explicit NeverDestroyed(Args&&... args) {
        new (mStorage) T(std::forward<Args>(args)...);
    }
    NeverDestroyed(const NeverDestroyed&) = delete;
    NeverDestroyed& operator=(const NeverDestroyed&) = delete;

    T& get() { return *std::launder(reinterpret_cast<T*>(mStorage)); }

private:
    alignas(T) unsigned char mStorage[sizeof(T)];
};

} // namespace platform
