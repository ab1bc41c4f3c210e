#include "OxlipApplication.h"

#include "DefaultErrorDialog.h"

#include <exception>

TOxlipApplication::TOxlipApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TOxlipApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowDefaultErrorDialog(activeWindow(), QString::fromLocal8Bit(error.what()));
    }
    return false;
}
