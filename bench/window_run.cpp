// window_run: one conversion driven through the window, for the throughput benchmark. It opens the main
// window (offscreen with QT_QPA_PLATFORM=offscreen), types the two file names, presses Process... and
// quits when the run is over, so that the window's gauge and event processing are part of what is
// timed. The run's own time goes to standard error.
//
//   window_run [-b 16|24] INPUT OUTPUT
//
// The output must not exist (the overwrite question would wait for an answer); a dialog that opens
// during the run ends the program with status 1.
#include "MainForm.h"
#include "OxlipApplication.h"
#include "RadioGroup.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

int Usage() {
    std::fputs("usage: window_run [-b 16|24] INPUT OUTPUT\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    TOxlipApplication application(argc, argv);
    int formatIndex = 1;
    int first = 1;
    if (argc == 5 && std::strcmp(argv[1], "-b") == 0) {
        if (std::strcmp(argv[2], "16") != 0 && std::strcmp(argv[2], "24") != 0)
            return Usage();
        formatIndex = std::strcmp(argv[2], "16") == 0 ? 0 : 1;
        first = 3;
    }
    if (argc - first != 2)
        return Usage();
    struct stat st {};
    if (::stat(argv[first + 1], &st) == 0) {
        std::fprintf(stderr, "window_run: %s exists; remove it first\n", argv[first + 1]);
        return 2;
    }

    TMainForm form;
    form.show();
    auto* input = form.findChild<QLineEdit*>("InputEdit");
    auto* output = form.findChild<QLineEdit*>("OutputEdit");
    auto* process = form.findChild<QPushButton*>("ProcessBitBtn");
    auto* format = form.findChild<TRadioGroup*>("OutputFormatRadioGroup");
    if (!input || !output || !process || !format) {
        std::fputs("window_run: the window lacks a control this program needs\n", stderr);
        return 1;
    }
    input->setText(QString::fromLocal8Bit(argv[first]));
    output->setText(QString::fromLocal8Bit(argv[first + 1]));
    form.OutputEditExit();
    format->SetItemIndex(formatIndex);

    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            std::fprintf(stderr, "window_run: a dialog opened: %s\n", qPrintable(dialog->windowTitle()));
            std::_Exit(1);
        }
    });
    watchdog.start(100);

    int status = 0;
    QTimer::singleShot(0, [&] {
        if (!process->isEnabled()) {
            std::fputs("window_run: Process... is disabled\n", stderr);
            status = 1;
        } else {
            const auto started = std::chrono::steady_clock::now();
            process->click(); // the whole run happens inside the click handler
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
            std::fprintf(stderr, "window_run: run took %.3f s\n", took.count());
        }
        QApplication::quit();
    });
    application.exec();
    return status;
}
