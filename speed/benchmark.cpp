// ccpubenchmark: the fastest of several timed runs of a counting loop, or a score divided by it.
#include "extender/numeric_text.h"
#include "extender/report.h"
#include "extender/script_functions.h"
#include "platform/loops.h"
#include "platform/win32_services.h"
#include "resources/messages.h"

namespace {

constexpr int32_t kDefaultRuns = 30;
constexpr int32_t kDefaultIterations = 10000000;
constexpr uint32_t kNoRunYet = 0xFFFFFFFF;

// Only the very first character is looked at: "010" is the digit zero, " 0" is not.
bool StartsWithZero(const char* text) {
    return text[0] == '0';
}

uint32_t FastestRunMilliseconds(int32_t runs, int32_t iterations) {
    uint32_t fastest = kNoRunYet;
    for (int32_t run = 0; run < runs; ++run) {
        const uint32_t start = platform::ReadTickCount();
        platform::RunCountingLoop(iterations);
        const uint32_t end = platform::ReadTickCount();
        const uint32_t length = end - start;
        if (length < fastest)
            fastest = length;
    }
    return fastest;
}

}  // namespace

int32_t ccpubenchmark(const Call& call) {
    int32_t values[kArgumentCount];
    for (int i = 0; i < kArgumentCount; ++i) {
        if (!ReadNumericArgument(call.args[i], &values[i])) {
            return ReportError(call, KZ_MSG_INVALID_PARAMETER);
        }
    }
    int32_t runs = values[1];
    int32_t iterations = values[2];
    if (StartsWithZero(call.args[1])) {
        runs = kDefaultRuns;
        iterations = kDefaultIterations;
    }
    const uint32_t fastest = FastestRunMilliseconds(runs, iterations);

    if (StartsWithZero(call.args[3]))
        return ReportValue(call, fastest);
    // A negative dividend counts as 2^32 plus its value.
    const uint32_t dividend = static_cast<uint32_t>(values[3]);
    if (fastest == 0)
        return ReportValue(call, 0xFFFFFFFF);
    return ReportValue(call, dividend / fastest);
}
