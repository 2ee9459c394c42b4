// The handles the platform hands out for its objects (windows, drawing objects, accelerator
// tables, icons), each kind in a table of its own kept in NeverDestroyed storage.
//
//     struct Table { std::mutex mutex; HandleTable<Window> windows{0x10000}; };
//     std::lock_guard<std::mutex> lock(table.mutex);
//     HWND handle = table.windows.Add<HWND>(std::move(window));
//     if (Window* found = table.windows.Find(handle)) ...
#pragma once

#include <cstdint>
#include <map>
#include <utility>

namespace platform {

// Values by handle. Each kind of object counts from a base of its own in steps of 4, so a handle
// is never 0 nor -1, and handles of different kinds never meet. Handles grow, so iterating gives
// the creation order. The table takes no lock: its owner guards it with its own mutex.
template <typename Value>
class HandleTable {
public:
    explicit HandleTable(std::uintptr_t base) : mLast(base) {}

    template <typename Handle = void*>
    Handle Add(Value value) {
        mLast += 4;
        mValues.emplace(mLast, std::move(value));
        return reinterpret_cast<Handle>(mLast);
    }
    // Null for a handle that is not in the table.
    Value* Find(const void* handle) {
        auto found = mValues.find(reinterpret_cast<std::uintptr_t>(handle));
        return found == mValues.end() ? nullptr : &found->second;
    }
    // False for a handle that was not in the table.
    bool Remove(const void* handle) { return mValues.erase(reinterpret_cast<std::uintptr_t>(handle)) > 0; }

    auto begin() { return mValues.begin(); }
    auto end() { return mValues.end(); }

private:
    std::map<std::uintptr_t, Value> mValues;
    std::uintptr_t mLast;
};

} // namespace platform
