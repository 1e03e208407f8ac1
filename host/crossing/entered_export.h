// Which export of the DLL the host is inside: what a report of a fault names, and how the
// host tells a call in progress from a stray one.
#pragma once
#include <stdint.h>

namespace qel {

// The export the host is inside ("_QELExtender2@40"; DllMain too), or null.
const char* EnteredExport();
// Null: no export entered (returned, or left by a jump out of a fault).
void SetEnteredExport(const char* name);
// Counts the entries into an export: whatever a call recorded under another count belongs
// to an export that was left.
uint32_t ExportEntryCount();
// Keeps a copy of the entered export's name (empty: none) in `mirror`, which may be memory
// another process reads after this one has ended; null stops it.
void MirrorEnteredExport(char* mirror, uint32_t size);

}  // namespace qel
