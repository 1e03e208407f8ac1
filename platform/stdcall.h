// The Windows standard calling convention: the callee removes its arguments.
#pragma once

#define KZ_STDCALL __attribute__((stdcall))
