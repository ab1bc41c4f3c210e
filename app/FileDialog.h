#pragma once

#include <QFileDialog>

// The window's open and save dialogs. A save dialog refuses a name whose folder does not exist, as the
// platform's own dialog does, and stays open with a message. Whichever way the dialog ends, it leaves no
// popup of its own behind (see done()). A filter may separate its patterns with semicolons, as in
// "DVD video (*.vob;*.mpg;*.mpeg)", as well as with spaces.
class TFileDialog final : public QFileDialog {
    Q_OBJECT
public:
    TFileDialog(QWidget* parent, const QString& caption, const QString& directory);

    void accept() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ListFilesOfSelectedFilter();
};
