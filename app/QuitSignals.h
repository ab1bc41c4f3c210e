#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C, a closed terminal) into a signal of the event loop,
// so that the program can end in an orderly way instead of being killed mid-write. The handler only writes
// the signal's number into a pipe; the loop reads it when it next processes events (during a run, at the
// run's next event pump). One object per process; it restores the default handling when destroyed.
class TQuitSignals final : public QObject {
    Q_OBJECT
public:
    explicit TQuitSignals(QObject* parent = nullptr);
    ~TQuitSignals() override;

    // 128 + the number of the first signal received, the status a shell reports for it; 0 before any.
    int ExitStatus() const { return exitStatus_; }

signals:
    void Received(int signalNumber);

private:
    void ReadPipe();

    QSocketNotifier* notifier_ = nullptr;
    int exitStatus_ = 0;
};
