#include "host/remote/inherited_descriptors.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qel {

void CloseInheritedDescriptors() {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3u, ~0u, 0u) == 0)
        return;
#endif
    // Older kernels, and emulators that do not pass the call on.
    struct rlimit limit {};
    const rlim_t end =
        getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536 ? limit.rlim_cur : 65536;
    for (rlim_t descriptor = 3; descriptor < end; ++descriptor)
        close(static_cast<int>(descriptor));
}

}  // namespace qel
