// Readable forms of the values the ten functions report, for the default report.
#pragma once
#include <stdint.h>

#include <string>

namespace qel {

std::string VendorName(int32_t vendor_code);
// The 16-bit signature: type, family, model and stepping.
std::string SignatureText(uint32_t signature);
// Names of the set bits of the CPUID leaf-1 EDX feature word, separated by blanks.
std::string FeatureNames(uint32_t flags);
std::string MemoryText(uint32_t bytes);
// The value of `name` in words, or "" when there is nothing to add to the number.
// `clone`: cclonecheck answered 1, so ccpuspeed counts cycles over one second instead of
// measuring against the performance counter.
std::string DescribeValue(const std::string& name, const std::string& first_argument, int32_t value,
                          bool clone = false);

}  // namespace qel
