#pragma once

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

// Runs `body` in a forked child and returns its exit status (or -1 when it did not exit normally).
inline int RunInChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A pipe that lets a child tell its parent that it got somewhere, and the parent tell it to go on.
class Signal {
public:
    Signal() {
        if (::pipe(fds_) != 0)
            fds_[0] = fds_[1] = -1;
    }
    ~Signal() {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    void Raise() {
        const char c = 1;
        [[maybe_unused]] auto n = ::write(fds_[1], &c, 1);
    }
    bool Wait() {
        char c = 0;
        return ::read(fds_[0], &c, 1) == 1;
    }

private:
    int fds_[2];
};
