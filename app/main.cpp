// Oxlip: start-up, the main window, the event loop.
#include "DisplayCheck.h"
#include "MainForm.h"
#include "OxlipApplication.h"
#include "QuitSignals.h"
#include "texts/Messages.h"

#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    if (!DisplayReachable(argc, argv)) {
        std::fprintf(stderr, "%s\n", msg::kNoDisplay);
        return 1;
    }
    TOxlipApplication application(argc, argv);
    // Caught from here on; acted on once the event loop runs.
    TQuitSignals quitSignals;
    QGuiApplication::setDesktopFileName("oxlip");
    TMainForm MainForm;
    MainForm.show();
    MainForm.activateWindow();
    // A file named on the command line ("Open with" from a file manager) is taken as if dropped, once the
    // window shows: a disc's dialog then opens over it.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1)
        QTimer::singleShot(0, &MainForm, [&MainForm, name = arguments.at(1)] { MainForm.TakeFile(name); });

    // SIGTERM, SIGINT and SIGHUP close the window (aborting a run, its output deleted), which ends the
    // program with the status a shell reports for the signal.
    QObject::connect(&quitSignals, &TQuitSignals::Received, &MainForm, &TMainForm::CloseAbortingRun);
    const int status = application.exec();
    return quitSignals.ExitStatus() != 0 ? quitSignals.ExitStatus() : status;
}
