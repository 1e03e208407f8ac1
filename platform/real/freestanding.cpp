// The DLL has no C runtime, yet GCC may emit calls to these four for copies and clears of
// records; they are written out plainly and kept from being turned back into calls.
#include <stddef.h>

extern "C" {

__attribute__((optimize("no-tree-loop-distribute-patterns"))) void* memcpy(void* destination,
                                                                           const void* source,
                                                                           size_t count) {
    auto* to = static_cast<unsigned char*>(destination);
    auto* from = static_cast<const unsigned char*>(source);
    while (count--)
        *to++ = *from++;
    return destination;
}

__attribute__((optimize("no-tree-loop-distribute-patterns"))) void* memmove(void* destination,
                                                                            const void* source,
                                                                            size_t count) {
    auto* to = static_cast<unsigned char*>(destination);
    auto* from = static_cast<const unsigned char*>(source);
    if (to < from) {
        while (count--)
            *to++ = *from++;
    } else {
        while (count--)
            to[count] = from[count];
    }
    return destination;
}

__attribute__((optimize("no-tree-loop-distribute-patterns"))) void* memset(void* destination,
                                                                           int value,
                                                                           size_t count) {
    auto* to = static_cast<unsigned char*>(destination);
    while (count--)
        *to++ = static_cast<unsigned char>(value);
    return destination;
}

int memcmp(const void* left, const void* right, size_t count) {
    auto* a = static_cast<const unsigned char*>(left);
    auto* b = static_cast<const unsigned char*>(right);
    for (; count; --count, ++a, ++b) {
        if (*a != *b)
            return *a < *b ? -1 : 1;
    }
    return 0;
}
}
