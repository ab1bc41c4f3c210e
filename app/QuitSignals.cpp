#include "QuitSignals.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array kQuitSignals = {SIGTERM, SIGINT, SIGHUP};
// Read end [0] and write end [1] of the pipe from the handler to the event loop.
int signalPipe[2] = {-1, -1};

void OnQuitSignal(int signalNumber) {
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds signals enough to end the program.
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &number, 1);
    errno = savedErrno;
}

} // namespace

TQuitSignals::TQuitSignals(QObject* parent) : QObject(parent) {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their default action
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TQuitSignals::ReadPipe);
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kQuitSignals)
        sigaction(number, &action, nullptr);
}

TQuitSignals::~TQuitSignals() {
    for (int number : kQuitSignals)
        std::signal(number, SIG_DFL);
    if (signalPipe[0] >= 0) {
        close(signalPipe[0]);
        close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
}

void TQuitSignals::ReadPipe() {
    unsigned char number = 0;
    while (read(signalPipe[0], &number, 1) == 1) {
        if (exitStatus_ == 0)
            exitStatus_ = 128 + number;
        emit Received(number);
    }
}
