// cversioninfo and cmemstat: the two functions that need no other subsystem.
#include "extender/function_table.h"
#include "extender/numeric_text.h"
#include "extender/report.h"
#include "extender/script_functions.h"
#include "platform/win32_services.h"
#include "resources/messages.h"

namespace {

constexpr uint32_t kOkCancelInformation = 0x41;  // MB_OKCANCEL | MB_ICONINFORMATION

}  // namespace

int32_t cversioninfo(const Call& call) {
    int32_t n;
    if (!ReadNumericArgument(call.args[0], &n))
        return ReportError(call, KZ_MSG_INVALID_PARAMETER);
    if (n == 0)
        return ReportValue(call, KZ_EXTENDER_VERSION);
    if (n != 1 && n != 2)
        return ReportError(call, KZ_MSG_INVALID_VERSION);

    uint32_t count = CountFunctionsOfKind(n == 1 ? 2 : 3);
    // The box shows the argument exactly as the host passed it; the button has no effect.
    platform::ShowMessageBox(call.window, call.args[0], "Extender Version", kOkCancelInformation);
    return ReportValue(call, count);
}

int32_t cmemstat(const Call& call) {
    platform::MemoryStatus status{};
    status.length = sizeof status;
    platform::ReadMemoryStatus(&status);
    return ReportValue(call, status.total_phys);
}
