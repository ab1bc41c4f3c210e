// The window as the conversion runs' host: names, format, rate, dialogs, busy state and closing.
#include "MainForm.h"

#include "DefaultErrorDialog.h"
#include "GaugePanel.h"
#include "InputNames.h"
#include "MessageDialogs.h"
#include "RadioGroup.h"
#include "run/RunEntry.h"
#include "texts/WindowTexts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <utility>

void TMainForm::ProcessBitBtnClick() {
    if (run_)
        return;
    pump_.Start();
    QString uncaught;
    try {
        ExecuteRun();
    } catch (const std::exception& error) {
        uncaught = DialogText(error.what());
    }
    run_ = nullptr;
    if (closeRequested_) {
        close();
        return;
    }
    if (!uncaught.isNull())
        ShowDefaultErrorDialog(this, uncaught);
    else
        ShowRunNotes();
}

// A note comes during the run; the panel under the gauge offers the latest one, and all of them come
// together once the run is over, so that none is missed and none interrupts the conversion.
void TMainForm::ShowNote(const std::string& message) {
    const QString note = DialogText(message);
    if (!runNotes_.contains(note))
        runNotes_ << note;
    GaugePanel->setToolTip(note);
}

void TMainForm::ShowRunNotes() {
    const QStringList notes = std::exchange(runNotes_, {});
    GaugePanel->setToolTip({});
    if (!notes.isEmpty())
        ShowInformation(this, notes.join("\n\n"));
}

// The input decides the run: a raw or WAVE file, a DVD program stream (the track chosen, else its first
// LPCM track), or a disc (the title, stream and chapters chosen, else the first LPCM track of its longest
// title with one). Every kind runs through the same host operations.
void TMainForm::ExecuteRun() {
    runNotes_.clear();
    TRunRequest request;
    request.input = InputName();
    request.output = OutputName();
    request.resolution = formatIndex_ == 0 ? TResolution::Reduced16 : TResolution::Source;
    request.sampleRate = SampleRate_;
    if (choice_ && choice_->input == InputEdit->text()) {
        request.selection = choice_->selection;
        request.format = choice_->format;
        request.options.lpcmPacking = choice_->packing;
    }
    const std::unique_ptr<TRun> run = MakeRun(*this, request);
    run_ = &run->Control();
    run->Execute();
}

void TMainForm::StopBitBtnClick() {
    if (run_)
        run_->StopQuestion();
}

void TMainForm::CloseAbortingRun() {
    // An open dialog (a file dialog, the stop question, an error) ends as if dismissed.
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        dialog->reject();
    if (!run_) {
        close();
        return;
    }
    closeRequested_ = true;
    run_->ApplyStopAnswer(TStopAnswer::Abort);
}

void TMainForm::EnableControls(bool enable) {
    for (QWidget* control :
         {static_cast<QWidget*>(OpenBitBtn), static_cast<QWidget*>(SaveBitBtn),
          static_cast<QWidget*>(InputEdit), static_cast<QWidget*>(OutputEdit),
          static_cast<QWidget*>(InputFormatRadioGroup), static_cast<QWidget*>(OutputFormatRadioGroup),
          static_cast<QWidget*>(SRateComboBox)})
        control->setEnabled(enable);
    // A stream's own rate is not the user's to change, nor its format the input-format items'.
    if (streamRate_ > 0)
        SRateComboBox->setEnabled(false);
    if (inputKind_ && !inputKind_->takesInputFormat)
        InputFormatRadioGroup->setEnabled(false);
}

std::string TMainForm::InputName() const {
    return QFile::encodeName(InputEdit->text()).toStdString();
}
std::string TMainForm::OutputName() const {
    return QFile::encodeName(OutputEdit->text()).toStdString();
}

// Yes goes on at 16 bits, which the output-format item then shows.
bool TMainForm::AcceptFallbackTo16(const std::string& message) {
    if (!Confirm(message))
        return false;
    OutputFormatRadioGroup->SetItemIndex(0);
    return true;
}

// From a close during a run on, every dialog ends at once as if it had been dismissed.
void TMainForm::ShowError(const std::string& message) {
    if (!closeRequested_)
        ShowErrorMessage(this, DialogText(message));
}

bool TMainForm::Confirm(const std::string& message) {
    return !closeRequested_ && AskConfirmation(this, DialogText(message));
}

TStopAnswer TMainForm::AskStop(const std::string& message) {
    return closeRequested_ ? TStopAnswer::None : AskStopQuestion(this, DialogText(message));
}

void TMainForm::SetBusy(bool busy) {
    if (busy) {
        ProcessBitBtn->setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        EnableControls(false);
    } else {
        setWindowTitle(kWindowCaption);
        EnableControls(true);
        QApplication::restoreOverrideCursor();
        ProcessBitBtn->setEnabled(true);
    }
}

void TMainForm::ShowStopButton(bool shown) {
    ProcessBitBtn->setVisible(!shown);
    StopBitBtn->setVisible(shown);
    EscapeShortcut->setEnabled(shown);
}

// Closing during a run lets the run finish; the window closes when it has.
void TMainForm::closeEvent(QCloseEvent* event) {
    if (run_) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// The caption names the file being written, so that a run of chapter files shows where it is.
void TMainForm::OutputStarted(const std::string& name) {
    setWindowTitle(QString::fromUtf8(window_text::kWritingCaption) +
                   QFileInfo(QFile::decodeName(name.c_str())).fileName());
}
