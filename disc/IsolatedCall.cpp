#include "disc/IsolatedCall.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define OXLIP_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OXLIP_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef OXLIP_ADDRESS_SANITIZER
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

// The deadline of the budget open on this thread, if any.
thread_local std::optional<std::chrono::steady_clock::time_point> gBudgetEnd;

// The address space this process has mapped now, from /proc/self/statm; 0 when unknown.
int64_t MappedBytes() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr)
        return 0;
    long long pages = 0;
    const bool read = std::fscanf(statm, "%lld", &pages) == 1;
    std::fclose(statm);
    return read ? pages * sysconf(_SC_PAGESIZE) : 0;
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t wrote = write(fd, data.data() + done, data.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

[[noreturn]] void RunChild(int fd, const std::function<std::string()>& work, int64_t addressLimit) {
    // A fault in the child only ends the child: no handler of the parent's (a crash reporter, a fuzzer's)
    // takes it for the parent's.
    for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGALRM, SIGTERM, SIGINT})
        std::signal(signal, SIG_DFL);
#ifdef OXLIP_ADDRESS_SANITIZER
    __sanitizer_set_death_callback(nullptr);
#endif
    // A sanitizer reserves terabytes of shadow memory, so its builds go without the address-space limit.
#ifndef OXLIP_ADDRESS_SANITIZER
    if (addressLimit > 0) {
        const rlimit limit{static_cast<rlim_t>(addressLimit), static_cast<rlim_t>(addressLimit)};
        setrlimit(RLIMIT_AS, &limit);
    }
#else
    (void)addressLimit;
#endif
    // What a crashing library prints (glibc's heap checks) is no message of the program's.
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 1);
        dup2(null, 2);
    }
    const rlimit core{0, 0};
    setrlimit(RLIMIT_CORE, &core);
    std::string reply;
    try {
        reply = work();
    } catch (...) {
        _exit(2);
    }
    // _exit: the parent's atexit handlers and buffered streams belong to the parent.
    _exit(WriteAll(fd, reply) ? 0 : 3);
}

} // namespace

std::chrono::milliseconds TIsolationBudget::DefaultLength() {
    static const std::chrono::milliseconds length = [] {
        const char* given = std::getenv("OXLIP_DISC_SECONDS");
        const long seconds = given != nullptr ? std::strtol(given, nullptr, 10) : 0;
        return std::chrono::seconds(seconds >= 1 && seconds <= 3600 ? seconds : 30);
    }();
    return length;
}

TIsolationBudget::TIsolationBudget(std::chrono::milliseconds length) : outer_(!gBudgetEnd) {
    if (outer_)
        gBudgetEnd = std::chrono::steady_clock::now() + length;
}

TIsolationBudget::~TIsolationBudget() {
    if (outer_)
        gBudgetEnd.reset();
}

std::optional<std::string> CallIsolated(const std::function<std::string()>& work,
                                        const TIsolationLimits& limits) {
    const TIsolationBudget budget;
    const auto deadline =
        std::min(std::chrono::steady_clock::now() + std::chrono::seconds(limits.seconds), *gBudgetEnd);
    if (deadline <= std::chrono::steady_clock::now())
        return std::nullopt;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    const int64_t mapped = MappedBytes();
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        close(fds[0]);
        RunChild(fds[1], work, mapped > 0 ? mapped + limits.memoryBytes : 0);
    }
    close(fds[1]);

    std::string reply;
    bool good = true;
    char buffer[65536];
    int failedReads = 0;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) {
            good = false;
            break;
        }
        pollfd wait{fds[0], POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            good = false;
            break;
        }
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        // A pipe's read fails only when interrupted, or when a fault is injected: tried again, a few times.
        if (got < 0 && (errno == EINTR || (errno == EIO && ++failedReads <= 3)))
            continue;
        if (got < 0) {
            good = false;
            break;
        }
        if (got == 0)
            break;
        reply.append(buffer, static_cast<size_t>(got));
        if (reply.size() > limits.replyBytes) {
            good = false;
            break;
        }
    }
    close(fds[0]);
    if (!good)
        kill(child, SIGKILL);
    // A child that closed the pipe but does not end is killed at the deadline too.
    if (good) {
        const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        pollfd wait{pidfd, POLLIN, 0};
        if (pidfd >= 0 && poll(&wait, 1, static_cast<int>(std::max<int64_t>(left, 0))) == 0) {
            good = false;
            kill(child, SIGKILL);
        }
        if (pidfd >= 0)
            close(pidfd);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!good || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return reply;
}
