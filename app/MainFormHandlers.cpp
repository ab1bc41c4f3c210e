// The window's handlers while idle: picking files, the enabling rule, the sampling rate, dropped files.
#include "MainForm.h"

#include "InputNames.h"
#include "MessageDialogs.h"
#include "RadioGroup.h"
#include "TrackDialog.h"
#include "run/InputChoices.h"
#include "run/NameProposal.h"
#include "run/RateText.h"
#include "texts/Messages.h"
#include "texts/WindowTexts.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int kRawFilterIndex = 1;
constexpr int kWaveFilterIndex = 2;
constexpr int kAllSupportedFilterIndex = 5;

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

// Takes `name` as the input and proposes its output. A disc, and a program stream of several LPCM tracks,
// first ask what of it to convert; false when the user cancelled, and the names stay as they were.
bool TMainForm::TakeInputName(const QString& name, const TInputKindRow*& kind) {
    // Looking at the input and reading its titles share one time budget for a disc's children.
    const TInputBudget budget;
    kind = InputKindOf(name);
    const bool titles = kind && kind->offersTitles;
    // A disc's name comes from its dialog; reading the disc once is enough.
    QString output = titles ? QString() : ProposedOutputName(name, kind);
    // A VOB on a mounted disc: its output cannot go beside it.
    if (kind && !kind->takesInputFormat)
        output = InWritableFolder(output);
    const std::optional<TInputChoice> before = choice_;
    const int bitsBefore = sourceBits_;
    choice_.reset();
    sourceBits_ = 0;
    int rate = 0;
    if ((titles && !ChooseOfDisc(name, *kind, output, rate)) ||
        (kind && kind->offersTracks && !ChooseTrack(name, rate))) {
        choice_ = before;
        sourceBits_ = bitsBefore;
        return false;
    }
    InputEdit->setText(name);
    OutputEdit->setText(output);
    ShowStreamRate(rate);
    inputKind_ = kind;
    kindOf_ = name;
    ShowInputChoice();
    return true;
}

// Beside the output's label, what of a disc or program stream is converted; the input-format items only
// for the inputs they describe; the output's item names a disc's or stream's own resolution.
void TMainForm::ShowInputChoice() {
    const bool chosen = choice_ && choice_->input == InputEdit->text();
    QString line;
    if (chosen) {
        const TSelection& selection = choice_->selection;
        line = QString::fromUtf8(window_text::ChoiceLine(selection.title, selection.track,
                                                         selection.chapters ? selection.firstChapter : 0,
                                                         selection.chapters ? selection.lastChapter : 0,
                                                         choice_->format ? choice_->format->name : nullptr));
    }
    ChoiceLabel->setText(ChoiceLabel->fontMetrics().elidedText(line, Qt::ElideRight, ChoiceLabel->width()));
    ChoiceLabel->setToolTip(line);
    const bool rawOrWave = !inputKind_ || inputKind_->takesInputFormat;
    InputFormatRadioGroup->setEnabled(rawOrWave && !run_);
    OutputFormatRadioGroup->Item(1)->setText(
        rawOrWave || sourceBits_ == 0 ? QString::fromUtf8(window_text::kSourceResolutionRaw)
                                      : QString::fromUtf8(window_text::SourceResolution(sourceBits_)));
}

// The header of a disc's or stream's output takes the stream's rate: the box shows it and cannot be
// changed; for other inputs it holds the user's rate again.
void TMainForm::ShowStreamRate(int rate) {
    if (rate > 0) {
        if (streamRate_ == 0)
            userRateText_ = SRateComboBox->currentText();
        streamRate_ = rate;
        SRateComboBox->setEditText(QString::number(rate));
    } else if (streamRate_ > 0) {
        streamRate_ = 0;
        SRateComboBox->setEditText(userRateText_);
    }
    SRateComboBox->setEnabled(streamRate_ == 0);
}

// A disc that cannot be read says why and is taken as it is: Process... then says it again.
bool TMainForm::ChooseOfDisc(const QString& name, const TInputKindRow& kind, QString& output, int& rate) {
    TDiscChoices choices;
    std::string error;
    if (!kind.readTitles(QFile::encodeName(name).toStdString(), choices, error)) {
        ShowError(error);
        output = ProposedOutputName(name, nullptr); // the input's name with .wav
        return true;
    }
    // A hybrid disc's video side is offered too, where it can be read.
    TDiscChoices videoSide;
    std::string videoError;
    const bool hybrid =
        kind.otherSide && kind.otherSide->readTitles &&
        kind.otherSide->readTitles(QFile::encodeName(name).toStdString(), videoSide, videoError);
    TDiscDialog dialog(this, choices, hybrid ? &videoSide : nullptr);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const TDiscChoice chosen = dialog.Choice();
    if (chosen.selection.videoSide)
        choices = std::move(videoSide);
    choices.folder =
        QFile::encodeName(WritableFolder(QFile::decodeName(choices.folder.c_str()))).toStdString();
    const TSelection& selection = chosen.selection;
    output = QFile::decodeName(
        DiscOutputFor(choices, selection.title, selection.chapters, *chosen.format).c_str());
    choice_ = TInputChoice{name, selection, chosen.format, chosen.packing};
    for (const TTitleChoice& title : choices.titles)
        for (const TAudioChoice& audio : title.audio)
            if (title.number == selection.title && audio.number == selection.track) {
                rate = audio.rate;
                sourceBits_ = audio.bits;
            }
    return true;
}

bool TMainForm::ChooseTrack(const QString& name, int& rate) {
    const std::vector<TAudioChoice> tracks = ReadLpcmTracks(QFile::encodeName(name).toStdString());
    if (tracks.size() < 2) {
        rate = tracks.empty() ? 0 : tracks.front().rate;
        sourceBits_ = tracks.empty() ? 0 : tracks.front().bits;
        return true;
    }
    TTrackDialog dialog(this, tracks);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    TSelection selection;
    selection.track = dialog.Track();
    choice_ = TInputChoice{name, selection, nullptr};
    rate = tracks.at(static_cast<size_t>(dialog.Track() - 1)).rate;
    sourceBits_ = tracks.at(static_cast<size_t>(dialog.Track() - 1)).bits;
    return true;
}

bool TMainForm::WritesChapterFiles() const {
    return choice_ && choice_->input == InputEdit->text() && choice_->selection.chapters;
}

void TMainForm::OpenBitBtnClick() {
    const QStringList filters = OpenDialog->nameFilters();
    OpenDialog->selectNameFilter(filters.value(openFilterIndex_ - 1));
    OpenDialog->setWindowTitle(openFilterIndex_ == kRawFilterIndex ? "Open 20-bit file" : "Open");
    OpenDialog->selectFile(InputEdit->text());
    if (OpenDialog->exec() == QDialog::Accepted && !OpenDialog->selectedFiles().isEmpty()) {
        // Only a confirmed use keeps the filter the user chose.
        openFilterIndex_ = std::max(kRawFilterIndex,
                                    static_cast<int>(filters.indexOf(OpenDialog->selectedNameFilter())) + 1);
        const TInputKindRow* kind = nullptr;
        const QString name = OpenDialog->selectedFiles().first();
        // Under "All supported" a raw or WAVE file's item follows its extension, as for a dropped file.
        if (TakeInputName(name, kind) && openFilterIndex_ == kAllSupportedFilterIndex && kind &&
            kind->takesInputFormat)
            InputFormatRadioGroup->SetItemIndex(FormatItemForExtension(name));
    }
    // The DVD filters leave the items as they are: they describe raw and WAVE files only.
    if (openFilterIndex_ == kRawFilterIndex)
        InputFormatRadioGroup->SetItemIndex(0);
    else if (openFilterIndex_ == kWaveFilterIndex)
        InputFormatRadioGroup->SetItemIndex(1);
    ApplyEnablingRule();
}

void TMainForm::SaveBitBtnClick() {
    // Chapter files go into a folder: Save... picks that.
    if (WritesChapterFiles()) {
        QFileDialog folders(this, SaveDialog->windowTitle(), OutputEdit->text());
        folders.setObjectName("FolderDialog");
        folders.setOptions(SaveDialog->options() | QFileDialog::ShowDirsOnly);
        folders.setFileMode(QFileDialog::Directory);
        if (folders.exec() == QDialog::Accepted && !folders.selectedFiles().isEmpty())
            OutputEdit->setText(folders.selectedFiles().first());
        ApplyEnablingRule();
        return;
    }
    // The dialog opens on the filter of the format the output is already named for.
    const TOutputFormatRow* named = OutputFormatOfName(QFile::encodeName(OutputEdit->text()).toStdString());
    const TOutputFormatRow& format = named ? *named : DefaultOutputFormat();
    SaveDialog->selectNameFilter(QString::fromUtf8(format.filter));
    SaveDialog->setDefaultSuffix(QString::fromUtf8(format.extension + 1));
    SaveDialog->selectFile(OutputEdit->text());
    if (SaveDialog->exec() == QDialog::Accepted && !SaveDialog->selectedFiles().isEmpty())
        OutputEdit->setText(SaveDialog->selectedFiles().first());
    ApplyEnablingRule();
}

// A name typed into the input edit is classified anew; a choice made for another name no longer shows.
void TMainForm::InputEditExit() {
    if (InputEdit->text() != kindOf_) {
        kindOf_ = InputEdit->text();
        inputKind_ = kindOf_.isEmpty() ? nullptr : InputKindOf(kindOf_);
        sourceBits_ = 0;
    }
    ShowInputChoice();
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
    const TInputKindRow* kind = nullptr;
    if (TakeInputName(name, kind) && kind && kind->takesInputFormat)
        InputFormatRadioGroup->SetItemIndex(FormatItemForExtension(name));
    ApplyEnablingRule();
}
