#include "CliProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int64_t kCompareBytesUpTo = 64 << 20;

[[noreturn]] void ChildFails(const char* what) {
    const std::string text = std::string("oxlip fault test: ") + what + ": " + std::strerror(errno) + "\n";
    [[maybe_unused]] auto n = ::write(STDERR_FILENO, text.data(), text.size());
    ::_exit(127);
}

// The child's side: everything here runs between fork and exec.
[[noreturn]] void StartChild(const CliRun& run, int errWrite) {
    ::setpgid(0, 0);
    const int null = ::open("/dev/null", O_RDWR);
    if (null < 0 || ::dup2(null, STDIN_FILENO) < 0 || ::dup2(null, STDOUT_FILENO) < 0 ||
        ::dup2(errWrite, STDERR_FILENO) < 0)
        ChildFails("redirect");
    int closedPipe[2];
    if (run.errToClosedPipe &&
        (::pipe(closedPipe) != 0 || ::close(closedPipe[0]) != 0 || ::dup2(closedPipe[1], STDERR_FILENO) < 0))
        ChildFails("closed pipe");
    if (!run.workingDir.empty() && ::chdir(run.workingDir.c_str()) != 0)
        ChildFails("chdir");
    if (run.keepFd >= 0 && ::fcntl(run.keepFd, F_SETFD, 0) != 0)
        ChildFails("keep descriptor");
    if (run.fileSizeLimit != RLIM_INFINITY) {
        // Left at its default, which kills: oxlip-convert must ignore it itself, so that a write past the
        // limit fails with EFBIG, as on a full disk.
        ::signal(SIGXFSZ, SIG_DFL);
        const struct rlimit limit { run.fileSizeLimit, run.fileSizeLimit };
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ChildFails("setrlimit");
    }
    if (run.asNobody && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
         ::setresuid(65534, 65534, 65534) != 0))
        ChildFails("drop privileges");
    if (!run.tracer.empty()) {
        // The leak checker of a sanitizer build cannot work under ptrace and would fail the run.
        const char* old = std::getenv("ASAN_OPTIONS");
        const std::string options = std::string(old ? old : "") + (old && *old ? ":" : "") + "detect_leaks=0";
        ::setenv("ASAN_OPTIONS", options.c_str(), 1);
    }
    std::vector<std::string> words = run.tracer;
    words.push_back(OXLIP_CONVERT);
    words.insert(words.end(), run.args.begin(), run.args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ChildFails("exec");
}

} // namespace

CliProcess::CliProcess(const CliRun& run) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0)
        StartChild(run, fds[1]);
    ::setpgid(pid_, pid_); // also here, so that the group exists before the parent signals it
    ::close(fds[1]);
    errFd_ = fds[0];
}

CliProcess::~CliProcess() {
    if (pid_ > 0) {
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (errFd_ >= 0)
        ::close(errFd_);
}

void CliProcess::SignalGroup(int signal) const {
    ::kill(-pid_, signal);
}

CliOutcome CliProcess::Wait() {
    CliOutcome outcome;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(errFd_, buffer, sizeof buffer)) != 0) {
        if (n > 0)
            outcome.err.append(buffer, static_cast<size_t>(n));
        else if (errno != EINTR)
            break;
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFEXITED(status))
        outcome.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        outcome.termSignal = WTERMSIG(status);
    return outcome;
}

CliOutcome RunCli(const CliRun& run) {
    return CliProcess(run).Wait();
}

std::string Said(const std::string& input, const std::vector<std::string>& messages) {
    std::string text;
    for (std::string message : messages) {
        for (char& c : message)
            if (c == '\r')
                c = '\n';
        text += "oxlip-convert: " + input + ": " + message + "\n";
    }
    return text;
}

bool StraceWorks() {
    static const bool works = [] {
        CliRun probe;
        probe.tracer = {"strace", "-o", "/dev/null"};
        probe.args = {"--version"};
        return RunCli(probe).exitStatus == 0;
    }();
    return works;
}

std::vector<std::string> StraceInjecting(const std::string& path, const std::string& syscalls,
                                         const std::string& injection, const std::string& traceTo) {
    return {"strace", "-o", traceTo, "-P", path, "-e", "trace=" + syscalls, "-e", "inject=" + injection};
}

WriteWatch::WriteWatch(const std::string& dir, const std::string& name) : name_(name) {
    fd_ = ::inotify_init1(IN_CLOEXEC);
    if (fd_ < 0 || ::inotify_add_watch(fd_, dir.c_str(), IN_MODIFY) < 0)
        throw std::runtime_error("inotify failed");
}

WriteWatch::~WriteWatch() {
    ::close(fd_);
}

bool WriteWatch::Wait(pid_t pid) {
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd < 0)
        throw std::runtime_error("pidfd_open failed");
    bool written = false;
    for (;;) {
        struct pollfd fds[2] = {{fd_, POLLIN, 0}, {pidFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            alignas(struct inotify_event) char events[4096];
            const ssize_t n = ::read(fd_, events, sizeof events);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const struct inotify_event*>(events + at);
                if (event->len > 0 && name_ == event->name)
                    written = true;
                at += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
            }
            if (written)
                break;
        }
        if (fds[1].revents & POLLIN)
            break; // the process ended without writing
    }
    ::close(pidFd);
    return written;
}

InputGuard::InputGuard(const std::string& path) : path_(path) {
    if (::stat(path.c_str(), &before_) != 0)
        throw std::runtime_error("no input " + path);
    if (before_.st_size <= kCompareBytesUpTo)
        bytes_ = ReadFile(path);
}

bool InputGuard::Unchanged() const {
    struct stat now {};
    if (::stat(path_.c_str(), &now) != 0 || now.st_size != before_.st_size ||
        now.st_blocks != before_.st_blocks || now.st_mtim.tv_sec != before_.st_mtim.tv_sec ||
        now.st_mtim.tv_nsec != before_.st_mtim.tv_nsec)
        return false;
    return before_.st_size > kCompareBytesUpTo || ReadFile(path_) == bytes_;
}
