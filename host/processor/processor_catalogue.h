// Historic and current x86 processors as qemu-i386 models: what each real chip reports
// through CPUID, and the -cpu string that makes qemu report the same.
// Header-only C++ parts and <stdint.h> only, so the catalogue also builds against musl.
#pragma once
#include <stdint.h>

#include <span>
#include <string_view>

namespace qel {

struct CatalogueProcessor {
    const char* name;        // friendly id for --cpu, lower-case, e.g. "k6-2", "pentium-mmx"
    const char* title;       // "AMD K6-2 (model 8)"
    const char* qemu_cpu;    // the -cpu string (one argv element; the vendor may hold blanks)
    const char* vendor;      // 12-character CPUID vendor string
    uint32_t signature;      // leaf 1 EAX
    uint32_t features;       // leaf 1 EDX as qemu reports it with qemu_cpu
    uint32_t real_features;  // leaf 1 EDX of the real chip
    uint32_t highest_leaf;   // leaf 0 EAX
    const char* note;        // differences from the real chip, or ""
};

// Leaf-1 EDX bits that qemu's TCG never reports on qemu-i386: VME (1), PSN (18), DS (21),
// HT (28), TM (29), IA-64 (30), PBE (31). A model's features are its real features less these.
inline constexpr uint32_t kFeaturesQemuCannotReport = 0xF0240002u;

inline constexpr uint32_t kFeatureTimeStampCounter = 1u << 4;
inline constexpr uint32_t kFeatureConditionalMove = 1u << 15;

std::span<const CatalogueProcessor> ProcessorCatalogue();

// The entry whose name equals `name` ignoring ASCII case, or nullptr.
const CatalogueProcessor* FindCatalogueProcessor(std::string_view name);

}  // namespace qel
