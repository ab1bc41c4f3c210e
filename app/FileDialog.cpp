#include "FileDialog.h"

#include "MessageDialogs.h"
#include "texts/Messages.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

void TFileDialog::accept() {
    if (acceptMode() == AcceptSave) {
        const QStringList names = selectedFiles();
        if (!names.isEmpty() && !QFileInfo(names.first()).absoluteDir().exists()) {
            QMessageBox::warning(this, windowTitle(), DialogText(msg::kNoSuchFolder));
            return;
        }
    }
    QFileDialog::accept();
}

// Enter pressed while the name box's completion list is open reaches the name box, which confirms the
// dialog from inside that key press; the list, a popup window of its own, stays open after the dialog
// has gone. Qt then keeps the whole application in popup mode: the next click only closes the invisible
// list, keys go to it, and focus changes in the main window carry the popup reason, so the window's
// handlers for leaving a control never run. A modal dialog lets no other window open a popup, so every
// popup still open when it ends is its own and is closed with it.
void TFileDialog::done(int result) {
    while (QWidget* popup = QApplication::activePopupWidget())
        if (!popup->close())
            break;
    QFileDialog::done(result);
}
