// Prints what CPUID leaves 0 and 1 report, for the processor-catalogue check under qemu's
// models. Freestanding and built for the i386: models without CMOV kill any C library that
// uses it, so this program has no C library, only Linux system calls through int $0x80.
//
// Output, one "key=value" a line: leaf0.eax, vendor (the 12 bytes between brackets),
// leaf1.eax, leaf1.edx. With the argument "cmov" it executes a CMOV afterwards and prints
// "cmov=executed", so a model that refuses CMOV is seen dying of SIGILL instead.
#include <stdint.h>

static long SystemCall3(long number, long a, long b, long c) {
    long result;
    __asm__ volatile("int $0x80" : "=a"(result) : "a"(number), "b"(a), "c"(b), "d"(c) : "memory");
    return result;
}

enum { kSysExit = 1, kSysWrite = 4 };

static void Write(const char* text, long length) {
    SystemCall3(kSysWrite, 1, (long)text, length);
}

static void WriteText(const char* text) {
    long length = 0;
    while (text[length] != 0)
        ++length;
    Write(text, length);
}

static void WriteHex(const char* key, uint32_t value) {
    char digits[8];
    for (int index = 7; index >= 0; --index) {
        digits[index] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    }
    WriteText(key);
    Write(digits, 8);
    WriteText("\n");
}

static void Cpuid(uint32_t leaf, uint32_t* eax, uint32_t* ebx, uint32_t* ecx, uint32_t* edx) {
    __asm__ volatile("cpuid" : "=a"(*eax), "=b"(*ebx), "=c"(*ecx), "=d"(*edx) : "a"(leaf), "c"(0));
}

static int ProbeMain(int argc, char** argv) {
    uint32_t eax, ebx, ecx, edx;
    Cpuid(0, &eax, &ebx, &ecx, &edx);
    WriteHex("leaf0.eax=", eax);
    const uint32_t vendor[3] = {ebx, edx, ecx};
    WriteText("vendor=[");
    Write((const char*)vendor, 12);
    WriteText("]\n");
    Cpuid(1, &eax, &ebx, &ecx, &edx);
    WriteHex("leaf1.eax=", eax);
    WriteHex("leaf1.edx=", edx);

    const char* mode = argc > 1 ? argv[1] : "";
    if (mode[0] == 'c' && mode[1] == 'm' && mode[2] == 'o' && mode[3] == 'v' && mode[4] == 0) {
        uint32_t moved = 0;
        const uint32_t source = 1;
        __asm__ volatile("cmp %%eax, %%eax\n\tcmove %1, %0" : "+r"(moved) : "r"(source) : "cc");
        if (moved == 1)
            WriteText("cmov=executed\n");
    }
    return 0;
}

// The kernel starts the process with argc at the stack pointer and argv right above it.
__attribute__((used)) static void StartWithStack(long* stack) {
    const int status = ProbeMain((int)stack[0], (char**)(stack + 1));
    SystemCall3(kSysExit, status, 0, 0);
    for (;;) {
    }
}

__asm__(
    ".globl _start\n"
    "_start:\n"
    "    movl %esp, %eax\n"
    "    andl $-16, %esp\n"
    "    subl $12, %esp\n"
    "    pushl %eax\n"
    "    call StartWithStack\n"
    "    hlt\n");
