#include "host/linux/system_call_filter.h"

#include <errno.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <vector>

namespace qel {
namespace {

bool filter_requested = false;

// Descriptors the host opened itself that the filter lets it use.
struct Descriptors {
    int extra[4];
    int count = 0;
    void Add(int descriptor) {
        if (count < 4)
            extra[count++] = descriptor;
    }
    std::vector<uint32_t> With(int standard) const {
        std::vector<uint32_t> all = {static_cast<uint32_t>(standard)};
        for (int i = 0; i < count; ++i)
            all.push_back(static_cast<uint32_t>(extra[i]));
        return all;
    }
};
Descriptors writable, readable;

// The calls the host makes after the DLL is mapped, whatever their arguments: signal
// delivery and return (the fault handler, the --timeout alarm), the guard pages and the heap,
// the clocks and the memory status of the Win32 emulation, and leaving.
constexpr long kAllowed[] = {
    SYS_exit,
    SYS_exit_group,
    SYS_rt_sigreturn,
    SYS_sigreturn,
    SYS_rt_sigaction,
    SYS_rt_sigprocmask,
    SYS_sigaltstack,
    SYS_alarm,
    SYS_setitimer,
    SYS_brk,
    SYS_munmap,
    SYS_mprotect,
    SYS_madvise,
    SYS_mremap,
    SYS_futex,
    SYS_clock_gettime,
    SYS_clock_gettime64,
    SYS_gettimeofday,
    SYS_time,
    SYS_clock_nanosleep,
    SYS_clock_nanosleep_time64,
    SYS_nanosleep,
    SYS_getpid,
    SYS_gettid,
    SYS_restart_syscall,
    SYS_sysinfo,
};

class FilterProgram {
  public:
    void Statement(uint16_t code, uint32_t k) { code_.push_back(BPF_STMT(code, k)); }
    void LoadNumber() { Statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)); }
    // The low word of argument `index` (i386 arguments are 32 bits).
    void LoadArgument(int index) {
        Statement(BPF_LD | BPF_W | BPF_ABS,
                  static_cast<uint32_t>(offsetof(seccomp_data, args) + 8 * index));
    }
    void AllowIfEqual(uint32_t value) {
        code_.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, 0, 1));
        Statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
    }
    // Call `number` is allowed when argument `index` is one of `values`; the number is loaded
    // again after.
    void AllowWhenArgument(long number, int index, const std::vector<uint32_t>& values) {
        // Past the argument's checks, and the load of the number after them.
        const auto skip = static_cast<uint8_t>(1 + 2 * values.size() + 1);
        code_.push_back(
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(number), 0, skip));
        LoadArgument(index);
        for (uint32_t value : values)
            AllowIfEqual(value);
        Statement(BPF_RET | BPF_K, SECCOMP_RET_TRAP);
        LoadNumber();
    }
    // Ends the process outright unless the call is of `architecture`.
    void KillUnlessArchitecture(uint32_t architecture) {
        Statement(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch));
        code_.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, architecture, 1, 0));
        Statement(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS);
    }
    sock_fprog Program() { return {static_cast<unsigned short>(code_.size()), code_.data()}; }

  private:
    std::vector<sock_filter> code_;
};

// Arguments the checked calls may have: writes only to what the host itself writes to, reads
// only of the script's standard input (and what the host opened to read), memory only anonymous
// (never a file an inherited descriptor names), signals only to this process (raise, and a DLL's
// own kill).
FilterProgram AllowList() {
    const auto self = static_cast<uint32_t>(getpid());
    std::vector<uint32_t> written = writable.With(STDOUT_FILENO);
    written.push_back(STDERR_FILENO);
    const std::vector<uint32_t> read = readable.With(STDIN_FILENO);
    FilterProgram filter;
    // Only i386 calls: 64-bit code reached through a far jump ends the process outright.
    filter.KillUnlessArchitecture(AUDIT_ARCH_I386);
    filter.LoadNumber();
    filter.AllowWhenArgument(SYS_write, 0, written);
    filter.AllowWhenArgument(SYS_writev, 0, written);
    filter.AllowWhenArgument(SYS_read, 0, read);
    filter.AllowWhenArgument(SYS_pread64, 0, read);
    filter.AllowWhenArgument(SYS_mmap2, 4, {0xFFFFFFFFu});
    filter.AllowWhenArgument(SYS_kill, 0, {self});
    filter.AllowWhenArgument(SYS_tkill, 0, {self});
    filter.AllowWhenArgument(SYS_tgkill, 0, {self});
    for (long number : kAllowed)
        filter.AllowIfEqual(static_cast<uint32_t>(number));
    filter.Statement(BPF_RET | BPF_K, SECCOMP_RET_TRAP);
    return filter;
}

// stdio asks the kernel what standard output is (statx) when it first writes to it; after the
// filter it may not, so the buffer is set now, as stdio would set it.
void SetStandardOutputBuffer() {
    static char buffer[BUFSIZ];
    if (stdout->_IO_buf_base == nullptr)
        setvbuf(stdout, buffer, isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF, sizeof buffer);
}

}  // namespace

bool CanFilterSystemCalls(std::string* why) {
    // qemu-i386 answers EINVAL for every seccomp request of its guest.
    if (prctl(PR_GET_SECCOMP, 0, 0, 0, 0) < 0) {
        *why = std::string("this process cannot filter its own system calls (prctl: ") +
               strerror(errno) + "; under qemu-i386 a guest never can)";
        return false;
    }
    return true;
}

void AllowWritesTo(int descriptor) {
    writable.Add(descriptor);
}

void AllowReadsFrom(int descriptor) {
    readable.Add(descriptor);
}

void FilterSystemCallsOfTheDll(bool filter) {
    filter_requested = filter;
}

bool InstallFilterBeforeDllEntry(LoadFailure* failure) {
    if (!filter_requested)
        return true;
    SetStandardOutputBuffer();
    FilterProgram filter = AllowList();
    sock_fprog program = filter.Program();
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program, 0, 0) != 0) {
        return Fail(
            failure, LoadFailureKind::kUnsupported,
            BoundedText("the sandbox's seccomp filter could not be installed: ") + strerror(errno));
    }
    return true;
}

}  // namespace qel
