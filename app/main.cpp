// Oxlip: start-up, the main window, the event loop.
#include "MainForm.h"
#include "OxlipApplication.h"

int main(int argc, char** argv) {
    TOxlipApplication application(argc, argv);
    QGuiApplication::setDesktopFileName("oxlip");
    TMainForm MainForm;
    MainForm.show();
    MainForm.activateWindow();
    return application.exec();
}
