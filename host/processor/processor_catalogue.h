// Historic and current x86 processors as qemu-i386 models: what each real chip reports
// through CPUID, and the -cpu string that makes qemu report the same.
// Header-only C++ parts and <stdint.h> only, so the catalogue also builds against musl.
#pragma once
#include <stdint.h>

#include <span>
#include <string_view>

#include "host/virtual_cpu/cpuid_model.h"
#include "host/virtual_cpu/scripted_timeline.h"

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
    const char* note;        // what qemu's model cannot show of the chip, or ""
    uint32_t leaf1_ebx;      // leaf 1 EBX and ECX of the real chip
    uint32_t leaf1_ecx;
    uint32_t clock_khz;  // the clock rate the chip ran at
};

// Leaf-1 EDX bits that qemu's TCG never reports on qemu-i386: VME (1), PSN (18), DS (21),
// HT (28), TM (29), IA-64 (30), PBE (31). A model's features are its real features less these.
inline constexpr uint32_t kFeaturesQemuCannotReport = 0xF0240002u;

inline constexpr uint32_t kFeatureTimeStampCounter = 1u << 4;
inline constexpr uint32_t kFeatureConditionalMove = 1u << 15;

std::span<const CatalogueProcessor> ProcessorCatalogue();

// The chip's CPUID as the DLL sees it on the virtual processor: leaf 0 (highest leaf, vendor)
// and leaf 1 as recorded; every other leaf answers zeros.
virtual_cpu::CpuidModel CatalogueCpuid(const CatalogueProcessor& processor);

// The performance counter of a machine of the time without a time-stamp counter: Windows
// 9x counts it on the 8254 timer chip, at 1.193182 MHz. (At the 10 MHz of current Windows,
// the DLL's 32-bit microsecond arithmetic would wrap over a timing longer than 4.29 ms,
// which the scan loop of a 33 MHz chip takes.)
inline constexpr uint32_t kTimerChipHz = 1'193'182;

// How long the DLL's scan loop (its route on a chip without a time-stamp counter) takes on
// the chip at its clock rate (abi/scan_loop.h), in nanoseconds: the step of the scripted
// timeline that models its performance counter, so that from one counter reading to the
// next, around one timing of the loop, exactly that much time passes.
uint64_t ScanLoopNanoseconds(const CatalogueProcessor& processor);
// The same for any processor, from its leaf 1 signature and its clock rate (not 0).
uint64_t ScanLoopNanoseconds(uint32_t signature, uint32_t clock_khz);

// The chip's clocks, scripted: a timeline that moves 1 ms a read; on a chip without a
// time-stamp counter, the model of its performance counter instead: the 8254's rate, and as
// long a read as the scan loop takes on the chip, so that the loop it times between two
// readings takes the real chip's time.
ScriptedTimeline CatalogueTimeline(const CatalogueProcessor& processor);
// The same for any chip, by its leaf 1 signature (EAX) and features (EDX) and its rate.
ScriptedTimeline ProcessorTimeline(uint32_t signature, uint32_t features, uint32_t clock_khz);

// The entry whose name equals `name` ignoring ASCII case, or nullptr.
const CatalogueProcessor* FindCatalogueProcessor(std::string_view name);

}  // namespace qel
