#include "host/cli/decode.h"

#include <stdio.h>

#include "abi/function_values.h"

namespace qel {

std::string Hex(uint32_t value, int digits) {
    char text[16];
    snprintf(text, sizeof text, "0x%0*x", digits, value);
    return text;
}

std::string VendorName(int32_t vendor_code) {
    switch (vendor_code) {
        case qel_abi::vendor_code::kIntel:
            return "GenuineIntel";
        case qel_abi::vendor_code::kCyrix:
            return "CyrixInstead";
        case qel_abi::vendor_code::kAmd:
            return "AuthenticAMD";
        case qel_abi::vendor_code::kOther:
            return "another vendor";
        default:
            return "unknown vendor code";
    }
}

std::string SignatureText(uint32_t signature) {
    return Hex(signature, 4) + ": type " + std::to_string((signature >> 12) & 3) + ", family " +
           std::to_string((signature >> 8) & 15) + ", model " +
           std::to_string((signature >> 4) & 15) + ", stepping " + std::to_string(signature & 15);
}

FullIdentification DecodeLeaf1(uint32_t leaf1_eax) {
    const uint32_t family_field = (leaf1_eax >> 8) & 15, model_field = (leaf1_eax >> 4) & 15;
    FullIdentification full;
    if (family_field == 15)
        full.extended_family = (leaf1_eax >> 20) & 255;
    if (family_field == 6 || family_field == 15)
        full.extended_model = (leaf1_eax >> 16) & 15;
    full.family = family_field + full.extended_family;
    full.model = model_field + (full.extended_model << 4);
    full.stepping = leaf1_eax & 15;
    full.beyond_16_bits = family_field == 15 || full.extended_model != 0;
    return full;
}

std::string FullIdentificationText(uint32_t leaf1_eax) {
    const FullIdentification full = DecodeLeaf1(leaf1_eax);
    if (!full.beyond_16_bits)
        return "";
    std::string text = "family " + std::to_string(full.family);
    if (full.family >= 15)
        text += " (15 + extended " + std::to_string(full.extended_family) + ")";
    text += ", model " + std::to_string(full.model);
    if (full.extended_model != 0) {
        text += " (" + std::to_string(full.model & 15) + " + extended " +
                std::to_string(full.extended_model) + " * 16)";
    }
    return text + ", stepping " + std::to_string(full.stepping);
}

std::string FeatureNames(uint32_t flags) {
    static const char* const kNames[32] = {
        "fpu",  "vme",  "de",   "pse", "tsc",  "msr", "pae",   "mce", "cx8",   "apic", "",
        "sep",  "mtrr", "pge",  "mca", "cmov", "pat", "pse36", "psn", "clfsh", "",     "ds",
        "acpi", "mmx",  "fxsr", "sse", "sse2", "ss",  "htt",   "tm",  "ia64",  "pbe"};
    std::string names;
    for (int bit = 0; bit < 32; ++bit) {
        if ((flags >> bit & 1) == 0)
            continue;
        if (!names.empty())
            names += ' ';
        names += kNames[bit][0] != 0 ? kNames[bit] : "bit" + std::to_string(bit);
    }
    return names;
}

std::string MemoryText(uint32_t bytes) {
    std::string text = std::to_string(bytes / (1024 * 1024)) + " MiB";
    if (bytes == 0x7FFFFFFF)
        text += " (the 2 GB cap of a 32-bit process)";
    if (bytes == 0xFFFFFFFF)
        text += " (the 4 GB cap of a 32-bit process)";
    return text;
}

std::string DescribeVersion(const std::string& first_argument, int32_t, bool) {
    return first_argument == "0" ? "library version" : "";
}

std::string DescribeFamily(const std::string&, int32_t value, bool) {
    if (value == 15)
        return "family 15 or above (the 4-bit family field)";
    return value == 65535 ? "no CPUID leaf 1" : "family " + std::to_string(value);
}

std::string DescribeFeatures(const std::string&, int32_t value, bool) {
    const uint32_t bits = static_cast<uint32_t>(value);
    return Hex(bits, 8) + ": " + FeatureNames(bits);
}

std::string DescribeSignature(const std::string&, int32_t value, bool) {
    return SignatureText(static_cast<uint32_t>(value));
}

std::string SpeedModeText(int32_t mode) {
    return std::to_string(mode);
}

std::string DescribeSpeed(const std::string& first_argument, int32_t value, bool clone) {
    namespace mode = qel_abi::speed_mode;
    const uint32_t bits = static_cast<uint32_t>(value);
    const std::string number = std::to_string(bits);
    if (first_argument == SpeedModeText(mode::kMhz))
        return "measured " + number + " MHz";
    if (first_argument == SpeedModeText(mode::kMicroseconds))
        return "timed interval " + number + (clone ? " ms" : " us");
    if (first_argument == SpeedModeText(mode::kCycles)) {
        return clone
                   ? number + " cycles over one second = " + std::to_string(bits / 1000000) + " MHz"
                   : number + " cycles counted";
    }
    return clone ? number + " MHz counted over one second" : "rated " + number + " MHz";
}

std::string DescribeCpuidSupport(const std::string&, int32_t value, bool) {
    return value != 0 ? "CPUID present" : "no CPUID";
}

std::string DescribeMemory(const std::string&, int32_t value, bool) {
    return MemoryText(static_cast<uint32_t>(value));
}

std::string DescribeClone(const std::string&, int32_t value, bool) {
    return value != 0 ? "clone (not Intel)" : "not a clone";
}

std::string DescribeBenchmark(const std::string&, int32_t value, bool) {
    return "fastest run: " + std::to_string(static_cast<uint32_t>(value)) + " ms";
}

std::string DescribeVendor(const std::string&, int32_t value, bool) {
    return VendorName(value);
}

}  // namespace qel
