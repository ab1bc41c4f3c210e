// Times one conversion through the window's host, to compare with oxlip-convert on the same input:
//   window_run_timing INPUT OUTPUT
// It prints the wall time and how often the window processed its events.
#include "MainForm.h"
#include "OxlipApplication.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

int main(int argc, char** argv) {
    TOxlipApplication application(argc, argv);
    if (argc != 3) {
        std::fputs("usage: window_run_timing INPUT OUTPUT\n", stderr);
        return 2;
    }
    TMainForm form;
    form.show();
    form.findChild<QLineEdit*>("InputEdit")->setText(QString::fromLocal8Bit(argv[1]));
    form.findChild<QLineEdit*>("OutputEdit")->setText(QString::fromLocal8Bit(argv[2]));
    QElapsedTimer clock;
    clock.start();
    form.ProcessBitBtnClick();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    std::printf("%.3f s, events processed %lld times (%.1f per second)\n", seconds,
                static_cast<long long>(form.EventPump().PumpCount()),
                static_cast<double>(form.EventPump().PumpCount()) / seconds);
    return 0;
}
