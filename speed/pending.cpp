// Placeholder until the speed subsystem lands: each call still ends in one callback.
#include "extender/report.h"
#include "extender/script_functions.h"

int32_t ccpuspeed(const Call& call) {
    return ReportValue(call, 0);
}
int32_t ccpubenchmark(const Call& call) {
    return ReportValue(call, 0);
}
