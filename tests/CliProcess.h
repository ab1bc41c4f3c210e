#pragma once

#include "TestFiles.h"

#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

// Runs oxlip-convert as a child process, the way a user or a script would, and collects what it says.

struct CliRun {
    std::vector<std::string> args;        // the arguments after the program name
    rlim_t fileSizeLimit = RLIM_INFINITY; // RLIMIT_FSIZE in the child, SIGXFSZ at its default
    bool asNobody = false;                // as root: drop to user and group 65534 before starting
    std::vector<std::string> tracer;      // a command put in front, such as strace with its injections
    int keepFd = -1;                      // a descriptor the child keeps (strace's trace pipe)
    bool errToClosedPipe = false;         // standard error is a pipe that nobody reads any more
    std::string workingDir;               // the child's current folder; the test's when empty
};

struct CliOutcome {
    int exitStatus = -1; // -1 when a signal ended the process
    int termSignal = 0;
    std::string err; // everything written to standard error
};

// One child in its own process group; standard input is /dev/null, standard output is discarded.
class CliProcess {
public:
    explicit CliProcess(const CliRun& run);
    ~CliProcess(); // a child still running is killed
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // Sends `signal` to the child's process group (the tracer and the program, when traced).
    void SignalGroup(int signal) const;
    // Reads standard error to its end and waits for the child.
    CliOutcome Wait();

private:
    pid_t pid_ = -1;
    int errFd_ = -1;
};

CliOutcome RunCli(const CliRun& run);

// What oxlip-convert writes to standard error for these messages about `input`.
std::string Said(const std::string& input, const std::vector<std::string>& messages);

// Whether strace can trace a child here (it may be missing, or ptrace refused).
bool StraceWorks();
// strace, tracing only `syscalls` on `path`, with one injection such as "write:signal=SIGINT:when=3".
std::vector<std::string> StraceInjecting(const std::string& path, const std::string& syscalls,
                                         const std::string& injection,
                                         const std::string& traceTo = "/dev/null");

// Waits until the file `name` in `dir` is written to, or until process `pid` ends; true for the write.
// Watch first (WriteWatch), then start the process, then Wait.
class WriteWatch {
public:
    WriteWatch(const std::string& dir, const std::string& name);
    ~WriteWatch();
    bool Wait(pid_t pid);

private:
    int fd_ = -1;
    std::string name_;
};

// The input's state, to show afterwards that nothing changed it: its bytes when it is small, otherwise
// (sparse inputs of gigabytes) its size, its allocated blocks and its modification time.
class InputGuard {
public:
    explicit InputGuard(const std::string& path);
    bool Unchanged() const;

private:
    std::string path_;
    struct stat before_ {};
    Bytes bytes_;
};
