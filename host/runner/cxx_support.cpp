// What the header-only parts of the C++ library still expect from the C++ runtime, which
// the runner does without: allocation over malloc, and the library's error paths, which
// end the process (the runner builds without exceptions).
#include <stdio.h>
#include <stdlib.h>

#include <new>

namespace {

[[noreturn]] void Abandon(const char* what) {
    fprintf(stderr, "qelhost runner: %s\n", what);
    abort();
}

}  // namespace

void* operator new(size_t size) {
    void* memory = malloc(size != 0 ? size : 1);
    if (memory == nullptr)
        Abandon("out of memory");
    return memory;
}
void* operator new[](size_t size) {
    return operator new(size);
}
void operator delete(void* memory) noexcept {
    free(memory);
}
void operator delete[](void* memory) noexcept {
    free(memory);
}
void operator delete(void* memory, size_t) noexcept {
    free(memory);
}
void operator delete[](void* memory, size_t) noexcept {
    free(memory);
}

namespace std {
void __throw_length_error(const char* what) {
    Abandon(what);
}
void __throw_logic_error(const char* what) {
    Abandon(what);
}
void __throw_out_of_range_fmt(const char* what, ...) {
    Abandon(what);
}
void __throw_bad_alloc() {
    Abandon("out of memory");
}
void __throw_bad_array_new_length() {
    Abandon("bad array length");
}
void __throw_bad_function_call() {
    Abandon("empty function called");
}
void __throw_bad_optional_access() {
    Abandon("empty optional read");
}
}  // namespace std

extern "C" void __cxa_pure_virtual() {
    Abandon("pure virtual function called");
}

// Static destructors register with __cxa_atexit under the handle of their module; a static
// program is one module. (crtbegin.o, which defines it elsewhere, is not linked.)
extern "C" {
void* __dso_handle = &__dso_handle;
}
