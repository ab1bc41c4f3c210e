#pragma once

#include <QFileDialog>

// The window's open and save dialogs. A save dialog refuses a name whose folder does not exist, as the
// platform's own dialog does, and stays open with a message. Whichever way the dialog ends, it leaves no
// popup of its own behind (see done()).
class TFileDialog final : public QFileDialog {
    Q_OBJECT
public:
    using QFileDialog::QFileDialog;

    void accept() override;
    void done(int result) override;
};
