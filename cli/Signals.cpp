#include "Signals.h"

namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile std::sig_atomic_t g_signal = 0;

void OnInterrupt(int signal) {
    if (g_signal == 0)
        g_signal = signal;
}

sigset_t InterruptSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kInterrupts)
        sigaddset(&set, signal);
    return set;
}

} // namespace

void InstallInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_mask = InterruptSet();
    action.sa_flags = 0; // no SA_RESTART: a question waiting on the terminal ends too
    for (int signal : kInterrupts)
        sigaction(signal, &action, nullptr);
    // A message to a standard error that nobody reads any more must not kill the process before it has
    // deleted an incomplete output: the write just fails.
    std::signal(SIGPIPE, SIG_IGN);
    // Over the file size limit a write fails like on a full disk, and takes the same way out.
    std::signal(SIGXFSZ, SIG_IGN);
}

int InterruptSignal() {
    if (g_signal != 0)
        return g_signal;
    sigset_t pending;
    sigpending(&pending);
    for (int signal : kInterrupts)
        if (sigismember(&pending, signal) == 1)
            return signal;
    return 0;
}

void BlockInterrupts(bool block) {
    const sigset_t set = InterruptSet();
    sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}
