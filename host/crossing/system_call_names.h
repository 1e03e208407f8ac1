// Names of Linux's i386 system calls, for messages about a call the DLL made.
#pragma once
#include <stdint.h>

namespace qel {

// "mkdir" for 39; nullptr for a number without a name.
const char* SystemCallName(uint32_t number);

}  // namespace qel
