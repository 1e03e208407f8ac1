// The ten script functions of KZPROBEX.dll: the one list that the DLL's dispatch and
// descriptor tables, and whatever else needs a function's number or name, are made from.
// Dependency-free, so that freestanding DLL code and the hosts both include it.
#pragma once
#include <stdint.h>

// X(number, name, argument_count): `name` is also the DLL's function for it.
#define KZ_SCRIPT_FUNCTIONS(X) \
    X(1, cversioninfo, 1)      \
    X(2, ccpuid, 0)            \
    X(3, ccpufeat, 0)          \
    X(4, ccpuidext, 0)         \
    X(5, ccpuspeed, 1)         \
    X(6, ccpusupt, 0)          \
    X(7, cmemstat, 0)          \
    X(8, cclonecheck, 0)       \
    X(9, ccpubenchmark, 5)     \
    X(10, cvendorid, 0)

namespace qel_abi {

// The functions by number, as the host's requests carry them: function_number::ccpuid.
namespace function_number {
enum : int32_t {
#define KZ_FUNCTION_NUMBER(number, name, argument_count) name = number,
    KZ_SCRIPT_FUNCTIONS(KZ_FUNCTION_NUMBER)
#undef KZ_FUNCTION_NUMBER
};
}  // namespace function_number

#define KZ_COUNT_ONE(number, name, argument_count) +1
constexpr int32_t kScriptFunctionCount = 0 KZ_SCRIPT_FUNCTIONS(KZ_COUNT_ONE);
#undef KZ_COUNT_ONE

// Tables indexed by function number rely on the list running 1, 2, 3, ... without a gap.
constexpr bool ScriptFunctionsNumberedInOrder() {
    int32_t expected = 1;
    bool in_order = true;
#define KZ_CHECK_NUMBER(number, name, argument_count) in_order = in_order && number == expected++;
    KZ_SCRIPT_FUNCTIONS(KZ_CHECK_NUMBER)
#undef KZ_CHECK_NUMBER
    return in_order;
}
static_assert(ScriptFunctionsNumberedInOrder());

}  // namespace qel_abi
