#include "platform/trace.h"

namespace platform {

// The library writes no log: the trace points cost a call and nothing else.
void TracePoint(const char*, uint32_t) {}

}  // namespace platform
