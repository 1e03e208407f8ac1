#include "platform/fake/fake_platform.h"
#include "platform/trace.h"

namespace fake {

namespace {
Services the_services;
Processor the_processor;
std::vector<TraceRecord> the_traces;
}  // namespace

Services& services() {
    return the_services;
}
Processor& processor() {
    return the_processor;
}
std::vector<TraceRecord>& traces() {
    return the_traces;
}

void Reset() {
    the_services = Services{};
    the_processor = Processor{};
    the_traces.clear();
}

}  // namespace fake

namespace platform {

void TracePoint(const char* label, uint32_t value) {
    fake::traces().push_back({label, value});
}

}  // namespace platform
