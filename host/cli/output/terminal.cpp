#include "host/cli/output/terminal.h"

#include <stdio.h>

#include <ostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qel {

bool StandardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

void StatusLine::Show(const std::string& text) {
    if (terminal_ != nullptr)
        *terminal_ << text << std::flush;
}

void StatusLine::Clear() {
    // Carriage return, then erase to the end of the line.
    if (terminal_ != nullptr)
        *terminal_ << "\r\033[K" << std::flush;
}

}  // namespace qel
