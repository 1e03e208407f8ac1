#include "host/cli/function_traits.h"

#include <iterator>

#include "abi/function_values.h"
#include "host/cli/decode.h"

namespace qel {
namespace {

namespace number = qel_abi::function_number;

std::vector<ArgumentList> OneCallWithoutArguments(bool) {
    return {{}};
}

std::vector<ArgumentList> VersionCalls(bool) {
    return {{"0"}};
}

// A clone's one-second route gives modes 0 and 1 the same figure, the cycle count (mode 3)
// / 1000000: one call of mode 3 shows both. Elsewhere every mode differs and each call
// measures anew (a few milliseconds).
std::vector<ArgumentList> SpeedCalls(bool clone) {
    namespace mode = qel_abi::speed_mode;
    if (clone)
        return {{SpeedModeText(mode::kCycles)}};
    return {{SpeedModeText(mode::kRating)},
            {SpeedModeText(mode::kMhz)},
            {SpeedModeText(mode::kMicroseconds)},
            {SpeedModeText(mode::kCycles)}};
}

// 30 runs of 10000000 iterations; the result is the fastest run in milliseconds.
std::vector<ArgumentList> BenchmarkCalls(bool) {
    return {{"1", "0", "1", "0", "1"}};
}

// The host's part of each function's traits, in the order of the list.
struct HostTraits {
    int32_t number;
    std::vector<ArgumentList> (*report_calls)(bool clone);
    bool blocks;
    std::string (*describe)(const std::string& first_argument, int32_t value, bool clone);
};

constexpr bool kBlocks = true;
constexpr HostTraits kHostTraits[] = {
    {number::cversioninfo, VersionCalls, !kBlocks, DescribeVersion},
    {number::ccpuid, OneCallWithoutArguments, !kBlocks, DescribeFamily},
    {number::ccpufeat, OneCallWithoutArguments, !kBlocks, DescribeFeatures},
    {number::ccpuidext, OneCallWithoutArguments, !kBlocks, DescribeSignature},
    {number::ccpuspeed, SpeedCalls, kBlocks, DescribeSpeed},
    {number::ccpusupt, OneCallWithoutArguments, !kBlocks, DescribeCpuidSupport},
    {number::cmemstat, OneCallWithoutArguments, !kBlocks, DescribeMemory},
    {number::cclonecheck, OneCallWithoutArguments, !kBlocks, DescribeClone},
    {number::ccpubenchmark, BenchmarkCalls, kBlocks, DescribeBenchmark},
    {number::cvendorid, OneCallWithoutArguments, !kBlocks, DescribeVendor},
};

constexpr bool EveryFunctionHasItsRow() {
    if (std::size(kHostTraits) != qel_abi::kScriptFunctionCount)
        return false;
    for (size_t index = 0; index < std::size(kHostTraits); ++index) {
        if (kHostTraits[index].number != static_cast<int32_t>(index + 1))
            return false;
    }
    return true;
}
static_assert(EveryFunctionHasItsRow(), "kHostTraits needs one row per function, in order");

constexpr FunctionTraits kTraits[] = {
#define KZ_FUNCTION_TRAITS(function_number, function_name, argument_count) \
    {function_number,                                                      \
     #function_name,                                                       \
     argument_count,                                                       \
     kHostTraits[function_number - 1].report_calls,                        \
     kHostTraits[function_number - 1].blocks,                              \
     kHostTraits[function_number - 1].describe},
    KZ_SCRIPT_FUNCTIONS(KZ_FUNCTION_TRAITS)
#undef KZ_FUNCTION_TRAITS
};

}  // namespace

const FunctionTraits& TraitsOf(int32_t function_number) {
    return kTraits[function_number - 1];
}

const FunctionTraits* TraitsNamed(const std::string& name) {
    for (const FunctionTraits& traits : kTraits) {
        if (name == traits.name)
            return &traits;
    }
    return nullptr;
}

std::vector<ArgumentList> ReportArguments(const std::string& name, bool clone) {
    const FunctionTraits* traits = TraitsNamed(name);
    return traits != nullptr ? traits->report_calls(clone) : OneCallWithoutArguments(clone);
}

bool Blocks(const std::string& name) {
    const FunctionTraits* traits = TraitsNamed(name);
    return traits != nullptr && traits->blocks;
}

std::string DescribeValue(const std::string& name, const std::string& first_argument, int32_t value,
                          bool clone) {
    const FunctionTraits* traits = TraitsNamed(name);
    return traits != nullptr ? traits->describe(first_argument, value, clone) : "";
}

}  // namespace qel
