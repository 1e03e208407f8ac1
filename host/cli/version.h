// qelhost's own version: it ships in the DLL's release package and carries the DLL's file
// version (FILEVERSION in the version resource, the release zip's name).
#pragma once
#include "resources/messages.h"

#define QELHOST_STRINGIFY_(value) #value
#define QELHOST_STRINGIFY(value) QELHOST_STRINGIFY_(value)

namespace qel {

inline constexpr const char* kQelhostVersion = QELHOST_STRINGIFY(KZ_EXTENDER_VERSION) ".0.0.1";

}  // namespace qel
