// The seccomp filter of qelhost --sandbox: once the DLL is mapped and before its entry point
// runs, the process running it may make only the system calls the host's own side of it
// needs. Any other call, the DLL's `int 0x80` among them, raises SIGSYS instead of reaching
// the kernel, and the fault handler reports it.
#pragma once
#include <string>

#include "host/loader/load_failure.h"

namespace qel {

// True where this process can filter its own system calls (natively; under qemu-i386 the
// guest cannot, and `*why` says so).
bool CanFilterSystemCalls(std::string* why);

// Writes to `descriptor` stay allowed beside standard output and standard error (the
// supervisor's status pipe); reads of it beside standard input (a benchmark's own /proc
// file). Up to four each.
void AllowWritesTo(int descriptor);
void AllowReadsFrom(int descriptor);

// Whether InstallFilterBeforeDllEntry installs the filter (off: the DLL runs unfiltered).
void FilterSystemCallsOfTheDll(bool filter);

// The hook for LoadExtenderModule: installs the filter when asked for; false with *failure
// when the kernel refuses it.
bool InstallFilterBeforeDllEntry(LoadFailure* failure);

}  // namespace qel
