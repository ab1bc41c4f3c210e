#pragma once

#include <QApplication>

// The application object. An exception that leaves an event handler ends in the default error dialog
// instead of ending the program.
class TOxlipApplication final : public QApplication {
    Q_OBJECT
public:
    TOxlipApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
