// What qelhost does without a script: the report, one or more calls of every function.
#pragma once
#include <iosfwd>
#include <string>

#include "host/cli/session.h"

namespace qel {

// Runs every function of the table and writes what they said; false when a call crashed.
bool PrintReport(Session& session, const std::string& dll_path, bool json, std::ostream& out);

}  // namespace qel
