// Why a DLL could not be loaded: a kind a program can act on, and the text that names the
// problem (the section, import or RVA) for people.
#pragma once
#include <stdint.h>

#include <string_view>

#include "host/base/bounded_text.h"

namespace qel {

enum class LoadFailureKind : uint8_t {
    kNone,
    kNotPeFile,      // no PE image, or one whose structures contradict each other
    kTruncated,      // the file ends inside a structure
    kOutsideImage,   // an RVA or directory points where it may not
    kUnsupported,    // a valid image this loader does not load (machine, format, relocation)
    kMissingImport,  // the host does not provide an imported function
    kMissingExport,  // an export the host needs is not there
    kEntryRefused,   // DllMain answered FALSE
    kEntryFaulted,   // DllMain crashed or did not return
    kInputOutput,    // the file could not be read, or memory could not be had
};

// Each kind's name, as the runner's wire carries it; indexed by the kind.
inline constexpr const char* kLoadFailureKindNames[] = {
    "none",           "not-pe-file",    "truncated",     "outside-image", "unsupported",
    "missing-import", "missing-export", "entry-refused", "entry-faulted", "input-output"};

inline const char* LoadFailureKindName(LoadFailureKind kind) {
    return kLoadFailureKindNames[static_cast<uint8_t>(kind)];
}

// The kind named `name`; kNone for a name that is none of them.
inline LoadFailureKind LoadFailureKindNamed(std::string_view name) {
    for (uint8_t kind = 0; kind < sizeof kLoadFailureKindNames / sizeof(const char*); ++kind) {
        if (name == kLoadFailureKindNames[kind])
            return static_cast<LoadFailureKind>(kind);
    }
    return LoadFailureKind::kNone;
}

struct LoadFailure {
    LoadFailureKind kind = LoadFailureKind::kNone;
    BoundedText detail;
};

// Records the failure; returns false, for `return Fail(...)`.
inline bool Fail(LoadFailure* failure, LoadFailureKind kind, const BoundedText& detail) {
    failure->kind = kind;
    failure->detail = detail;
    return false;
}

}  // namespace qel
