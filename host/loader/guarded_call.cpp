#include "host/loader/guarded_call.h"

#include <setjmp.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <vector>

namespace qel {
namespace {

sigjmp_buf* active_guard = nullptr;
volatile sig_atomic_t caught_signal = 0;

void Escape(int signal_number) {
    caught_signal = signal_number;
    siglongjmp(*active_guard, 1);
}

constexpr int kGuardedSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGALRM};

}  // namespace

bool RunGuarded(const std::function<void()>& work, unsigned timeout_seconds, BoundedText* failure) {
    // The handler runs on its own stack: the DLL may have wrecked the one it faulted on.
    static std::vector<char> alternate_stack(1 << 16);
    stack_t stack{};
    stack.ss_sp = alternate_stack.data();
    stack.ss_size = alternate_stack.size();
    stack_t previous_stack{};
    sigaltstack(&stack, &previous_stack);

    struct sigaction action {};
    action.sa_handler = &Escape;
    action.sa_flags = SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    struct sigaction previous[sizeof kGuardedSignals / sizeof kGuardedSignals[0]];
    for (size_t i = 0; i < sizeof kGuardedSignals / sizeof kGuardedSignals[0]; ++i) {
        sigaction(kGuardedSignals[i], &action, &previous[i]);
    }

    sigjmp_buf guard;
    sigjmp_buf* outer = active_guard;
    active_guard = &guard;
    caught_signal = 0;
    bool completed = false;
    if (sigsetjmp(guard, 1) == 0) {
        alarm(timeout_seconds);
        work();
        completed = true;
    }
    alarm(0);
    active_guard = outer;
    for (size_t i = 0; i < sizeof kGuardedSignals / sizeof kGuardedSignals[0]; ++i) {
        sigaction(kGuardedSignals[i], &previous[i], nullptr);
    }
    sigaltstack(&previous_stack, nullptr);
    if (!completed) {
        *failure = caught_signal == SIGALRM
                       ? "did not return within " + Decimal(timeout_seconds) + " s"
                       : BoundedText("crashed (") + strsignal(caught_signal) + ")";
    }
    return completed;
}

}  // namespace qel
