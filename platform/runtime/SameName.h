// Names of window classes and resources are equal without regard to case, in ASCII only: the
// locale must not change which class or resource a name finds.
#pragma once

namespace platform {

inline bool SameName(const char* a, const char* b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (; *a && *b; ++a, ++b) {
        if (lower(*a) != lower(*b)) return false;
    }
    return *a == *b;
}

} // namespace platform
