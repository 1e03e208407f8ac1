// The ten script functions. Each ends in exactly one ReportValue or ReportError and
// answers what the host's callback returned.
#pragma once
#include <stdint.h>

#include "abi/script_functions.h"
#include "extender/host_protocol.h"

#define KZ_DECLARE_SCRIPT_FUNCTION(number, name, argument_count) int32_t name(const Call& call);
KZ_SCRIPT_FUNCTIONS(KZ_DECLARE_SCRIPT_FUNCTION)
#undef KZ_DECLARE_SCRIPT_FUNCTION
