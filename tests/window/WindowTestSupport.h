#pragma once

#include "MessageDialogs.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <concepts>
#include <functional>

class QWidget;

// What a test saw of a modal dialog when it answered it.
struct TSeenDialog {
    QString objectName;
    QString title;
    QString text;
    QStringList buttons; // message boxes: the button captions in their order on screen
    QString focusedButton;
};

// Answers the dialogs that come up while it lives, one action per dialog in order. A click on a message
// box's button is the next answer the box gets through the dialogs' stand-in, and the box never shows;
// every other action is taken on the dialog on screen, from a zero-delay timer (no sleeping). A dialog
// beyond the list is dismissed and counted as unexpected, so a test fails instead of hanging.
class TDialogAnswerer : public QObject, public TDialogAnswers {
public:
    struct TAction {
        template <std::invocable<QWidget*> OnScreen> TAction(OnScreen onScreen) : act(std::move(onScreen)) {}
        std::function<void(QWidget* dialog)> act;
        QString click; // the caption of a message box's button, answered without the box showing
    };

    explicit TDialogAnswerer(QList<TAction> actions = {});
    ~TDialogAnswerer() override;
    std::optional<QString> Answer(const TMessageBoxRequest& box) override;

    const QList<TSeenDialog>& Seen() const { return seen_; }
    int Unexpected() const { return unexpected_; }
    bool AllAnswered() const { return next_ == actions_.size(); }

private:
    void Poll();

    QList<TAction> actions_;
    qsizetype next_ = 0;
    int unexpected_ = 0;
    QList<TSeenDialog> seen_;
    QTimer timer_;
    TDialogAnswers* previous_ = nullptr;
};

// Actions for message boxes. ClickButtonOnScreen clicks the shown box, for the tests of the boxes
// themselves.
TDialogAnswerer::TAction ClickButton(const QString& caption);
TDialogAnswerer::TAction ClickButtonOnScreen(const QString& caption);
TDialogAnswerer::TAction PressKey(int key);
// Escape, noted in `stillOpen`, and then a click on `caption`.
TDialogAnswerer::TAction EscapeThenClick(const QString& caption, bool& stillOpen);

// Actions for the file dialogs: pick a filter (1-based) and a file, then confirm or cancel.
TDialogAnswerer::TAction ChooseFile(const QString& path, int filterIndex = 0);
TDialogAnswerer::TAction CancelWithFilter(int filterIndex);

// Calls `action` once, as soon as `stop` (the window's STOP!) shows, from within the run's event processing.
class TWhenConverting : public QObject {
public:
    TWhenConverting(QWidget* stop, std::function<void()> action);

private:
    std::function<void()> action_;
    QTimer timer_;
};

// Drags `path` onto `target` and drops it there, as a file manager does; whether the drag was accepted.
bool DropFile(QWidget* target, const QString& path);

// Runs a TMainForm-based test program under the application object of the real program.
#define OXLIP_WINDOW_TEST_MAIN(TestClass)                                                                    \
    int main(int argc, char** argv) {                                                                        \
        TOxlipApplication application(argc, argv);                                                           \
        TestClass test;                                                                                      \
        return QTest::qExec(&test, argc, argv);                                                              \
    }
