// qelhost.exe's guard around calls into the DLL.
#pragma once
#include <functional>
#include <string>

namespace qel {

// Runs `work`; a fault in it (an access violation, an illegal instruction, a division by zero,
// INT3, the trap flag, a stack overflow) ends it, and *failure then says what happened and
// where ("crashed: ... at RVA 0x... in _QELExtender2@40"). False when it faulted.
bool RunGuardedOnWindows(const std::function<void()>& work, std::string* failure);

// Installs the vectored handler that guards the calls and serves the virtual processor's
// sites (an illegal instruction at a registered site is answered and resumed after it, in or
// out of a guarded call). Once; RunGuardedOnWindows does it too.
void InstallFaultHandler();

}  // namespace qel
