// Test names and failure messages name a catalogue processor, not its bytes.
#pragma once
#include <ostream>

#include "host/processor/processor_catalogue.h"

namespace qel {

inline void PrintTo(const CatalogueProcessor& processor, std::ostream* out) {
    *out << processor.name;
}

}  // namespace qel
