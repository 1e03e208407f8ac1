// The two steps with which every script function ends: one outcome, one callback.
#pragma once
#include <stdint.h>

#include "extender/host_protocol.h"

// The text of the last error reported; it stays valid until the next error.
extern char MessageBuffer[256];

// Stores `value` and ResultType 1, then calls the host back with status 0.
int32_t ReportValue(const Call& call, uint32_t value);
// Loads message `message_id` into MessageBuffer, stores its address and ResultType 2,
// then calls the host back with status -1.
int32_t ReportError(const Call& call, uint32_t message_id);
