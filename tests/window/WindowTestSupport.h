#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
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

// Answers the modal dialogs that come up while it lives, one action per dialog in order, from a zero-delay
// timer of its own (no sleeping). A dialog beyond the list is dismissed and counted as unexpected, so a
// test fails instead of hanging.
class TDialogAnswerer : public QObject {
public:
    using TAction = std::function<void(QWidget* dialog)>;

    explicit TDialogAnswerer(QList<TAction> actions = {});

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
};

// Actions for message boxes.
TDialogAnswerer::TAction ClickButton(const QString& caption);
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
