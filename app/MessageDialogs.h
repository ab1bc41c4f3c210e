#pragma once

#include "run/RunHost.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

class QWidget;

// The program's own dialogs carry the German captions and button labels of the system it was made for.
inline const QString kErrorCaption = QStringLiteral("Fehler");
inline const QString kConfirmationCaption = QStringLiteral("Bestätigung");
inline const QString kInformationCaption = QStringLiteral("Information");
inline const QString kOkCaption = QStringLiteral("OK");
inline const QString kYesCaption = QStringLiteral("&Ja");
inline const QString kNoCaption = QStringLiteral("&Nein");
inline const QString kAbortCaption = QStringLiteral("&Abbrechen");
inline const QString kRetryCaption = QStringLiteral("&Wiederholen");
inline const QString kIgnoreCaption = QStringLiteral("&Ignorieren");

// A message of the conversion as dialog text: 8-bit text whose "\r" breaks the line.
QString DialogText(const std::string& message);

// Each dialog is modal, opens with the focus on its first button and answers Enter with the focused
// button. Escape answers OK in the error box and No in the question; the stop question ignores it.
void ShowErrorMessage(QWidget* parent, const QString& text);
bool AskConfirmation(QWidget* parent, const QString& text);
// What a finished run wants its user to know (pre-emphasis, damage, the packing read), once, with OK.
void ShowInformation(QWidget* parent, const QString& text);
TStopAnswer AskStopQuestion(QWidget* parent, const QString& text);

// A message box as its user would see it: the buttons' captions in their order, the focused one first.
struct TMessageBoxRequest {
    QString objectName;
    QString title;
    QString text;
    QStringList buttons;
    QString focusedButton;
};

// Stands in for the user at the message boxes, for the window's tests: while it is set, each box asks it
// first and shows only when it has no answer. The answer is the caption of the button to press.
class TDialogAnswers {
public:
    virtual ~TDialogAnswers() = default;
    virtual std::optional<QString> Answer(const TMessageBoxRequest& box) = 0;
};
// Sets the stand-in (nullptr: none); returns the one set before.
TDialogAnswers* SetDialogAnswers(TDialogAnswers* answers);
