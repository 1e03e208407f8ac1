// A program qelhost starts for the DLL (the runner, or qelhost again inside a sandbox) gets
// only the descriptors meant for it: a descriptor the user's shell left open on a file must
// not reach DLL code.
#pragma once

namespace qel {

// Closes every descriptor from 3 on. For the child between fork and exec.
void CloseInheritedDescriptors();

}  // namespace qel
