#include "WindowTestSupport.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

namespace {

TSeenDialog Describe(QWidget* dialog) {
    TSeenDialog seen{dialog->objectName(), dialog->windowTitle(), {}, {}, {}};
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        seen.text = box->text();
        QList<QAbstractButton*> buttons = box->buttons();
        std::sort(buttons.begin(), buttons.end(),
                  [](QAbstractButton* a, QAbstractButton* b) { return a->x() < b->x(); });
        for (QAbstractButton* button : buttons)
            seen.buttons << button->text();
        if (auto* focused = qobject_cast<QAbstractButton*>(dialog->focusWidget()))
            seen.focusedButton = focused->text();
    }
    return seen;
}

QAbstractButton* ButtonCaptioned(QWidget* dialog, const QString& caption) {
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
        if (button->text() == caption)
            return button;
    return nullptr;
}

void SelectFilter(QFileDialog* dialog, int filterIndex) {
    if (filterIndex > 0)
        dialog->selectNameFilter(dialog->nameFilters().value(filterIndex - 1));
}

} // namespace

TDialogAnswerer::TDialogAnswerer(QList<TAction> actions) : actions_(std::move(actions)) {
    previous_ = SetDialogAnswers(this);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &TDialogAnswerer::Poll);
    timer_.start();
}

TDialogAnswerer::~TDialogAnswerer() {
    SetDialogAnswers(previous_);
}

std::optional<QString> TDialogAnswerer::Answer(const TMessageBoxRequest& box) {
    if (next_ >= actions_.size() || actions_.at(next_).click.isEmpty())
        return std::nullopt;
    seen_ << TSeenDialog{box.objectName, box.title, box.text, box.buttons, box.focusedButton};
    return actions_.at(next_++).click;
}

void TDialogAnswerer::Poll() {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible())
        return;
    // A box whose layout is still pending shows its buttons at x 0; let it settle for one more round.
    QCoreApplication::sendPostedEvents(dialog, QEvent::LayoutRequest);
    seen_ << Describe(dialog);
    if (next_ < actions_.size()) {
        actions_.at(next_++).act(dialog);
    } else {
        ++unexpected_;
        qWarning("unexpected dialog: %s", qPrintable(seen_.back().title + ": " + seen_.back().text));
        if (auto* modal = qobject_cast<QDialog*>(dialog))
            modal->done(QDialog::Rejected);
    }
}

TDialogAnswerer::TAction ClickButtonOnScreen(const QString& caption) {
    return [caption](QWidget* dialog) {
        if (QAbstractButton* button = ButtonCaptioned(dialog, caption))
            button->click();
        else if (auto* modal = qobject_cast<QDialog*>(dialog))
            modal->done(QDialog::Rejected); // the check on Seen() reports what was there
    };
}

TDialogAnswerer::TAction ClickButton(const QString& caption) {
    TDialogAnswerer::TAction action = ClickButtonOnScreen(caption);
    action.click = caption;
    return action;
}

TDialogAnswerer::TAction PressKey(int key) {
    return [key](QWidget* dialog) { QTest::keyClick(dialog, static_cast<Qt::Key>(key)); };
}

TDialogAnswerer::TAction EscapeThenClick(const QString& caption, bool& stillOpen) {
    return [caption, &stillOpen](QWidget* dialog) {
        QTest::keyClick(dialog, Qt::Key_Escape);
        stillOpen = dialog->isVisible();
        if (stillOpen)
            ClickButtonOnScreen(caption).act(dialog);
    };
}

TDialogAnswerer::TAction ChooseFile(const QString& path, int filterIndex) {
    return [path, filterIndex](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        if (!files)
            return;
        SelectFilter(files, filterIndex);
        // While the dialog shows, selectFile leaves a focused name box alone: type the name as a user would.
        files->selectFile(path);
        if (auto* nameBox = files->findChild<QLineEdit*>("fileNameEdit"))
            nameBox->setText(path);
        static_cast<QDialog*>(files)->accept(); // QFileDialog::accept, reached through the public base
        if (files->isVisible())                 // refused, e.g. a missing file: do not hang
            files->reject();
    };
}

TDialogAnswerer::TAction CancelWithFilter(int filterIndex) {
    return [filterIndex](QWidget* dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
            SelectFilter(files, filterIndex);
            files->reject();
        }
    };
}

TWhenConverting::TWhenConverting(QWidget* stop, std::function<void()> action) : action_(std::move(action)) {
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this, stop] {
        if (!stop->isVisible())
            return;
        timer_.stop();
        action_();
    });
    timer_.start();
}

bool DropFile(QWidget* target, const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}
