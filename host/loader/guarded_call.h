// Runs code of a loaded DLL so that a fault or a hang inside it becomes a message instead of
// the end of the host. Linux only.
#pragma once
#include <functional>

#include "host/loader/bounded_text.h"

namespace qel {

// Runs `work`; false with *failure describing it when a fatal signal (SIGSEGV, SIGBUS,
// SIGILL, SIGFPE) arrives or when it runs longer than `timeout_seconds` (0: no limit).
bool RunGuarded(const std::function<void()>& work, unsigned timeout_seconds, BoundedText* failure);

}  // namespace qel
