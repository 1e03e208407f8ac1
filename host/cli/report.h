// What qelhost prints without a script: the report of all functions, or --list's table.
#pragma once
#include <iosfwd>

#include "host/cli/session.h"

namespace qel {

// The arguments the report passes to each function; ccpuspeed's depend on the route
// (`clone`: cclonecheck answered 1).
std::vector<ArgumentList> ReportArguments(const std::string& name, bool clone);

// `text` filled with blanks to `width` characters, for the tables qelhost prints.
std::string Padded(std::string text, size_t width);

// Runs every function of the table; false when a call crashed.
bool PrintReport(Session& session, const std::string& dll_path, bool json, std::ostream& out);
void PrintList(const Session& session, const std::string& dll_path, bool json, std::ostream& out);

}  // namespace qel
