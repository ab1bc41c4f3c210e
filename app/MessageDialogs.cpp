#include "MessageDialogs.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

// Buttons of one role keep the order in which they were added; the standard buttons would be reordered by
// the platform's layout, and Abort would answer Escape.
QPushButton* AddButton(QMessageBox& box, const QString& caption) {
    return box.addButton(caption, QMessageBox::ActionRole);
}

void FocusFirstButton(QMessageBox& box, QPushButton* first) {
    box.setDefaultButton(first);
    first->setFocus();
}

} // namespace

QString DialogText(const std::string& message) {
    return QString::fromLocal8Bit(message).replace(u'\r', u'\n');
}

void ShowErrorMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, kErrorCaption, text, QMessageBox::NoButton, parent);
    box.setObjectName("ErrorDialog");
    QPushButton* ok = AddButton(box, kOkCaption);
    box.setEscapeButton(ok);
    FocusFirstButton(box, ok);
    box.exec();
}

bool AskConfirmation(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, kConfirmationCaption, text, QMessageBox::NoButton, parent);
    box.setObjectName("ConfirmationDialog");
    QPushButton* yes = AddButton(box, kYesCaption);
    QPushButton* no = AddButton(box, kNoCaption);
    box.setEscapeButton(no);
    FocusFirstButton(box, yes);
    box.exec();
    return box.clickedButton() == yes;
}

TStopAnswer AskStopQuestion(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, kConfirmationCaption, text, QMessageBox::NoButton, parent);
    box.setObjectName("StopDialog");
    QPushButton* abort = AddButton(box, kAbortCaption);
    QPushButton* retry = AddButton(box, kRetryCaption);
    QPushButton* ignore = AddButton(box, kIgnoreCaption);
    FocusFirstButton(box, abort);
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == abort)
        return TStopAnswer::Abort;
    if (clicked == retry)
        return TStopAnswer::Retry;
    if (clicked == ignore)
        return TStopAnswer::Ignore;
    return TStopAnswer::None;
}
