#include "host/crossing/entered_export.h"

namespace qel {
namespace {

const char* volatile entered_export = nullptr;
volatile uint32_t entry_count = 0;
char* export_mirror = nullptr;
uint32_t export_mirror_size = 0;

}  // namespace

const char* EnteredExport() {
    return entered_export;
}

uint32_t ExportEntryCount() {
    return entry_count;
}

void SetEnteredExport(const char* name) {
    entered_export = name;
    entry_count = entry_count + 1;
    if (export_mirror != nullptr) {
        uint32_t length = 0;
        while (name != nullptr && name[length] != 0 && length + 1 < export_mirror_size) {
            export_mirror[length] = name[length];
            ++length;
        }
        export_mirror[length] = 0;
    }
}

void MirrorEnteredExport(char* mirror, uint32_t size) {
    export_mirror = size != 0 ? mirror : nullptr;
    export_mirror_size = size;
    if (export_mirror != nullptr)
        export_mirror[0] = 0;
}

}  // namespace qel
