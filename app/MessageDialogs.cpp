#include "MessageDialogs.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

TDialogAnswers* answers = nullptr;

// Buttons of one role keep the order in which they were added; the standard buttons would be reordered by
// the platform's layout, and Abort would answer Escape.
QPushButton* AddButton(QMessageBox& box, const QString& caption) {
    return box.addButton(caption, QMessageBox::ActionRole);
}

void FocusFirstButton(QMessageBox& box, QPushButton* first) {
    box.setDefaultButton(first);
    first->setFocus();
}

// The button the user pressed: the stand-in's answer when it has one, else the box's own.
const QAbstractButton* Exec(QMessageBox& box, const QList<QPushButton*>& buttons) {
    if (answers) {
        TMessageBoxRequest request{box.objectName(), box.windowTitle(), box.text(), {}, {}};
        for (const QPushButton* button : buttons)
            request.buttons << button->text();
        request.focusedButton = buttons.value(0) ? buttons.value(0)->text() : QString();
        if (const std::optional<QString> answer = answers->Answer(request)) {
            for (const QPushButton* button : buttons)
                if (button->text() == *answer)
                    return button;
            return nullptr;
        }
    }
    box.exec();
    return box.clickedButton();
}

// A box with OK alone, which Escape answers too.
void ShowWithOk(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const char* name,
                const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
    box.setObjectName(name);
    QPushButton* ok = AddButton(box, kOkCaption);
    box.setEscapeButton(ok);
    FocusFirstButton(box, ok);
    Exec(box, {ok});
}

} // namespace

TDialogAnswers* SetDialogAnswers(TDialogAnswers* next) {
    TDialogAnswers* previous = answers;
    answers = next;
    return previous;
}

QString DialogText(const std::string& message) {
    return QString::fromLocal8Bit(message).replace(u'\r', u'\n');
}

void ShowErrorMessage(QWidget* parent, const QString& text) {
    ShowWithOk(parent, QMessageBox::Critical, kErrorCaption, "ErrorDialog", text);
}

void ShowInformation(QWidget* parent, const QString& text) {
    ShowWithOk(parent, QMessageBox::Information, kInformationCaption, "InformationDialog", text);
}

bool AskConfirmation(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, kConfirmationCaption, text, QMessageBox::NoButton, parent);
    box.setObjectName("ConfirmationDialog");
    QPushButton* yes = AddButton(box, kYesCaption);
    QPushButton* no = AddButton(box, kNoCaption);
    box.setEscapeButton(no);
    FocusFirstButton(box, yes);
    return Exec(box, {yes, no}) == yes;
}

TStopAnswer AskStopQuestion(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, kConfirmationCaption, text, QMessageBox::NoButton, parent);
    box.setObjectName("StopDialog");
    QPushButton* abort = AddButton(box, kAbortCaption);
    QPushButton* retry = AddButton(box, kRetryCaption);
    QPushButton* ignore = AddButton(box, kIgnoreCaption);
    FocusFirstButton(box, abort);
    const QAbstractButton* clicked = Exec(box, {abort, retry, ignore});
    if (clicked == abort)
        return TStopAnswer::Abort;
    if (clicked == retry)
        return TStopAnswer::Retry;
    if (clicked == ignore)
        return TStopAnswer::Ignore;
    return TStopAnswer::None;
}
