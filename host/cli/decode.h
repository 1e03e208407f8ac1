// Readable forms of the values the ten functions report, for the default report.
#pragma once
#include <stdint.h>

#include <string>

namespace qel {

// "0x0f11" for Hex(0xf11, 4).
std::string Hex(uint32_t value, int digits);
std::string VendorName(int32_t vendor_code);
// The 16-bit signature: type, family, model and stepping.
std::string SignatureText(uint32_t signature);
// Family, model and stepping from the whole EAX of CPUID leaf 1, with the extended fields
// that the 16-bit signature drops: the extended family counts only where the family field
// is 15, the extended model only where it is 6 or 15.
struct FullIdentification {
    uint32_t family = 0, model = 0, stepping = 0;
    uint32_t extended_family = 0, extended_model = 0;  // as far as they count
    bool beyond_16_bits = false;  // the extended fields change the family or model
};
FullIdentification DecodeLeaf1(uint32_t leaf1_eax);
// "family 25 (15 + extended 10), model 1, stepping 1", or "" when the 16 bits say it all.
std::string FullIdentificationText(uint32_t leaf1_eax);
// Names of the set bits of the CPUID leaf-1 EDX feature word, separated by blanks.
std::string FeatureNames(uint32_t flags);
std::string MemoryText(uint32_t bytes);
// Each function's value in words, or "" when there is nothing to add to the number; one
// for each function, all of one shape for the host's table of function traits.
// `first_argument` is the call's mode where the function has one; `clone`: cclonecheck
// answered 1, so ccpuspeed counts cycles over one second instead of measuring against the
// performance counter.
std::string DescribeVersion(const std::string& first_argument, int32_t value, bool clone);
std::string DescribeFamily(const std::string& first_argument, int32_t value, bool clone);
std::string DescribeFeatures(const std::string& first_argument, int32_t value, bool clone);
std::string DescribeSignature(const std::string& first_argument, int32_t value, bool clone);
// The argument text of ccpuspeed's mode `mode` (qel_abi::speed_mode), as the report passes it.
std::string SpeedModeText(int32_t mode);
std::string DescribeSpeed(const std::string& first_argument, int32_t value, bool clone);
std::string DescribeCpuidSupport(const std::string& first_argument, int32_t value, bool clone);
std::string DescribeMemory(const std::string& first_argument, int32_t value, bool clone);
std::string DescribeClone(const std::string& first_argument, int32_t value, bool clone);
std::string DescribeBenchmark(const std::string& first_argument, int32_t value, bool clone);
std::string DescribeVendor(const std::string& first_argument, int32_t value, bool clone);

}  // namespace qel
