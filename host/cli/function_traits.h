// What the host knows of each script function beyond its number, name and argument count:
// the calls the report makes, whether a call blocks for a while, and its value in words.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "abi/script_functions.h"
#include "host/cli/script.h"

namespace qel {

struct FunctionTraits {
    int32_t number;
    const char* name;
    int32_t argument_count;
    // The calls of the default report; `clone` (cclonecheck answered 1) picks ccpuspeed's
    // route.
    std::vector<ArgumentList> (*report_calls)(bool clone);
    // Runs for a second or so: a terminal is told which call is running, and it is timed.
    bool blocks;
    // The value in words, or "" when there is nothing to add to the number.
    std::string (*describe)(const std::string& first_argument, int32_t value, bool clone);
};

// By function number, 1 to qel_abi::kScriptFunctionCount (qel_abi::function_number::...).
const FunctionTraits& TraitsOf(int32_t number);
// The function named exactly `name`, as the DLL enumerates it; null for any other name.
const FunctionTraits* TraitsNamed(const std::string& name);

// The arguments the report passes to the function `name`; one call without arguments for
// a name the host does not know.
std::vector<ArgumentList> ReportArguments(const std::string& name, bool clone);
// Whether a call of `name` blocks for a while.
bool Blocks(const std::string& name);
// The value of `name` in words, or "" when there is nothing to add to the number.
// `clone`: cclonecheck answered 1, so ccpuspeed counts cycles over one second instead of
// measuring against the performance counter.
std::string DescribeValue(const std::string& name, const std::string& first_argument, int32_t value,
                          bool clone = false);

}  // namespace qel
