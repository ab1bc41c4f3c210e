// The window's handlers while idle: picking files, the enabling rule, the sampling rate, dropped files.
#include "MainForm.h"

#include "InputNames.h"
#include "MessageDialogs.h"
#include "RadioGroup.h"
#include "run/NameProposal.h"
#include "run/RateText.h"
#include "texts/Messages.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

namespace {

constexpr int kRawFilterIndex = 1;
constexpr int kWaveFilterIndex = 2;

// A dropped file's format item follows its extension, as the filter of the open dialog would.
int FormatItemForExtension(const QString& name) {
    const QString extension = QFile::decodeName(FileExtension(QFile::encodeName(name).toStdString()).c_str());
    return extension.compare(".wav", Qt::CaseInsensitive) == 0 ? 1 : 0;
}

QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().isEmpty() || !data->urls().first().isLocalFile())
        return {};
    return data->urls().first().toLocalFile();
}

} // namespace

void TMainForm::ApplyEnablingRule() {
    ProcessBitBtn->setEnabled(!InputEdit->text().isEmpty() && !OutputEdit->text().isEmpty());
}

TInputKind TMainForm::TakeInputName(const QString& name) {
    const TInputKind kind = InputKindOf(name);
    InputEdit->setText(name);
    OutputEdit->setText(ProposedOutputName(name, kind));
    return kind;
}

void TMainForm::OpenBitBtnClick() {
    const QStringList filters = OpenDialog->nameFilters();
    OpenDialog->selectNameFilter(filters.value(openFilterIndex_ - 1));
    OpenDialog->selectFile(InputEdit->text());
    if (OpenDialog->exec() == QDialog::Accepted && !OpenDialog->selectedFiles().isEmpty()) {
        // Only a confirmed use keeps the filter the user chose.
        openFilterIndex_ = std::max(kRawFilterIndex,
                                    static_cast<int>(filters.indexOf(OpenDialog->selectedNameFilter())) + 1);
        TakeInputName(OpenDialog->selectedFiles().first());
    }
    // The DVD filters leave the items as they are: they describe raw and WAVE files only.
    if (openFilterIndex_ == kRawFilterIndex)
        InputFormatRadioGroup->SetItemIndex(0);
    else if (openFilterIndex_ == kWaveFilterIndex)
        InputFormatRadioGroup->SetItemIndex(1);
    ApplyEnablingRule();
}

void TMainForm::SaveBitBtnClick() {
    // An output already named .flac opens the dialog on the FLAC filter.
    const bool flac = OutputEdit->text().endsWith(".flac", Qt::CaseInsensitive);
    SaveDialog->selectNameFilter(flac ? kFlacFilter : kWaveFilter);
    SaveDialog->setDefaultSuffix(flac ? "flac" : "wav");
    SaveDialog->selectFile(OutputEdit->text());
    if (SaveDialog->exec() == QDialog::Accepted && !SaveDialog->selectedFiles().isEmpty())
        OutputEdit->setText(SaveDialog->selectedFiles().first());
    ApplyEnablingRule();
}

void TMainForm::InputEditExit() {
    ApplyEnablingRule();
}
void TMainForm::OutputEditExit() {
    ApplyEnablingRule();
}

void TMainForm::SRateComboBoxClick() {
    if (const auto rate = ParseRateText(SRateComboBox->currentText().toStdString()))
        SampleRate_ = *rate;
    else
        ShowInvalidRate();
}

void TMainForm::SRateComboBoxExit() {
    SRateComboBoxClick();
}

// The box goes back to its first item and the rate follows it, so what the box shows is what is written.
void TMainForm::ShowInvalidRate() {
    ShowError(msg::kInvalidRate);
    SRateComboBox->setCurrentIndex(0);
    SRateComboBox->setEditText(SRateComboBox->itemText(0));
    SampleRate_ = ParseRateText(SRateComboBox->itemText(0).toStdString()).value_or(SampleRate_);
}

// A control is left when the focus moves to another control of the window; switching to another window
// or opening a popup menu does not count, and nothing is read back while a run holds the controls.
bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !run_) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == InputEdit)
                InputEditExit();
            else if (watched == OutputEdit)
                OutputEditExit();
            else if (watched == SRateComboBox)
                SRateComboBoxExit();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!run_ && !DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

// A file or a disc folder dropped from the desktop is taken as if it had been picked in the open dialog.
void TMainForm::dropEvent(QDropEvent* event) {
    const QString name = DroppedFile(event->mimeData());
    if (run_ || name.isEmpty())
        return;
    event->acceptProposedAction();
    TakeFile(name);
}

// The input-format items describe raw and WAVE files only; for a program stream or a disc they stay as
// they are.
void TMainForm::TakeFile(const QString& name) {
    if (TakeInputName(name) == TInputKind::RawOrWave)
        InputFormatRadioGroup->SetItemIndex(FormatItemForExtension(name));
    ApplyEnablingRule();
}
