#include "DiscDialog.h"

#include "ChoiceButtons.h"
#include "MessageDialogs.h"
#include "texts/WindowTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString Text(const std::string& text) {
    return QString::fromUtf8(text.c_str());
}

QLabel* BuddyLabel(const char* caption, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TDiscDialog::TDiscDialog(QWidget* parent, const TDiscChoices& choices, const TDiscChoices* videoSide)
    : QDialog(parent), sides_{&choices, videoSide}, choices_(&choices) {
    setObjectName("DiscDialog");
    setWindowTitle(QString::fromUtf8(window_text::kDiscDialogCaption));
    setModal(true);

    // A hybrid disc offers its video side beside the audio side it opens on.
    side_ = new QComboBox(this);
    side_->setObjectName("SideCombo");
    side_->addItems({window_text::kAudioSide, window_text::kVideoSide});
    QLabel* sideLabel = BuddyLabel(window_text::kSide, side_, this);
    titles_ = new QTreeWidget(this);
    titles_->setObjectName("TitleList");
    titles_->setRootIsDecorated(false);
    titles_->setHeaderLabels(
        {window_text::kTitleColumn, window_text::kLengthColumn, window_text::kChaptersColumn});
    ListTitles();
    titles_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    notes_ = new QLabel(this);
    notes_->setObjectName("TitleNotes");
    notes_->setWordWrap(true);
    audio_ = new QListWidget(this);
    audio_->setObjectName("AudioList");
    // The packing of multichannel 20- and 24-bit audio is detected from where the audio carries signal;
    // where that cannot tell (and the run says so), the user chooses what sounds right.
    packing_ = new QComboBox(this);
    packing_->setObjectName("PackingCombo");
    packing_->addItems({window_text::kPackingAuto, window_text::kPackingPairs, window_text::kPackingQuads});
    packingLabel_ = BuddyLabel(window_text::kPacking, packing_, this);
    auto* packing = new QHBoxLayout;
    packing->addWidget(packingLabel_);
    packing->addWidget(packing_);
    packing->addStretch();
    chapters_ = new QCheckBox(QString::fromUtf8(window_text::kOneFilePerChapter), this);
    chapters_->setObjectName("ChaptersCheckBox");
    first_ = new QSpinBox(this);
    first_->setObjectName("FirstChapterSpin");
    last_ = new QSpinBox(this);
    last_->setObjectName("LastChapterSpin");
    fromLabel_ = BuddyLabel(window_text::kFromChapter, first_, this);
    toLabel_ = BuddyLabel(window_text::kToChapter, last_, this);

    auto* range = new QHBoxLayout;
    range->addWidget(chapters_);
    range->addStretch();
    range->addWidget(fromLabel_);
    range->addWidget(first_);
    range->addWidget(toLabel_);
    range->addWidget(last_);

    auto* format = new QHBoxLayout;
    for (const TOutputFormatRow* row : OutputFormats()) {
        auto* button =
            new QRadioButton(QString::fromUtf8(window_text::FormatChoice(row->id, row->name)), this);
        button->setObjectName(QString::fromLatin1(row->id) + "RadioButton");
        button->setChecked(row == &DefaultOutputFormat());
        format->addWidget(button);
        formats_.emplace_back(button, row);
    }
    format->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromUtf8(window_text::kDiscLabel) + Text(choices.label), this));
    if (videoSide) {
        auto* sideRow = new QHBoxLayout;
        sideRow->addWidget(sideLabel);
        sideRow->addWidget(side_);
        sideRow->addStretch();
        layout->addLayout(sideRow);
    } else {
        // Not laid out, so not to be seen either.
        sideLabel->hide();
        side_->hide();
    }
    layout->addWidget(BuddyLabel(window_text::kTitles, titles_, this));
    layout->addWidget(titles_, 2);
    layout->addWidget(notes_);
    layout->addWidget(BuddyLabel(window_text::kAudioStreams, audio_, this));
    layout->addWidget(audio_, 1);
    layout->addLayout(packing);
    layout->addLayout(range);
    layout->addLayout(format);
    layout->addLayout(MakeChoiceButtons(this));
    resize(420, 360);

    connect(titles_, &QTreeWidget::currentItemChanged, this, [this] { ShowTitle(); });
    connect(side_, &QComboBox::currentIndexChanged, this, [this](int side) {
        choices_ = sides_[side == 1 && sides_[1] ? 1 : 0];
        ListTitles();
        ShowTitle();
    });
    connect(chapters_, &QCheckBox::toggled, this, &TDiscDialog::EnableRange);
    connect(audio_, &QListWidget::currentItemChanged, this, [this] { EnablePacking(); });
    connect(first_, &QSpinBox::valueChanged, this, [this](int value) { last_->setMinimum(value); });
    ShowTitle();
    EnableRange(false);
    titles_->setFocus();
}

// The side's titles, the preferred one (else the first readable) selected. A title that cannot be read is
// shown with the reason, and cannot be chosen.
void TDiscDialog::ListTitles() {
    const QSignalBlocker quiet(titles_);
    titles_->clear();
    for (const TTitleChoice& title : choices_->titles) {
        const bool readable = title.unreadable.empty();
        auto* item = new QTreeWidgetItem(
            titles_, {QString::number(title.number),
                      readable ? Text(title.length) : Text(window_text::Unreadable(title.unreadable)),
                      readable ? QString::number(title.chapters) : QString()});
        item->setData(0, Qt::UserRole, title.number);
        if (!readable) {
            item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
            item->setToolTip(1, DialogText(title.refusal));
        } else if (title.number == choices_->preferredTitle) {
            titles_->setCurrentItem(item);
        }
    }
    for (int i = 0; !titles_->currentItem() && i < titles_->topLevelItemCount(); ++i)
        if (titles_->topLevelItem(i)->flags() & Qt::ItemIsEnabled)
            titles_->setCurrentItem(titles_->topLevelItem(i));
}

// The chapter range applies only to one file per chapter.
void TDiscDialog::EnableRange(bool enable) {
    for (QWidget* control : {static_cast<QWidget*>(fromLabel_), static_cast<QWidget*>(first_),
                             static_cast<QWidget*>(toLabel_), static_cast<QWidget*>(last_)})
        control->setEnabled(enable);
}

// Only audio whose two packings read differently offers the choice.
void TDiscDialog::EnablePacking() {
    bool differ = false;
    const TTitleChoice* title = SelectedTitle();
    if (const QListWidgetItem* item = audio_->currentItem(); title && item)
        for (const TAudioChoice& audio : title->audio)
            if (audio.number == item->data(Qt::UserRole).toInt())
                differ = audio.packingMayDiffer;
    packingLabel_->setEnabled(differ);
    packing_->setEnabled(differ);
}

const TTitleChoice* TDiscDialog::SelectedTitle() const {
    const QTreeWidgetItem* item = titles_->currentItem();
    if (!item)
        return nullptr;
    const int number = item->data(0, Qt::UserRole).toInt();
    for (const TTitleChoice& title : choices_->titles)
        if (title.number == number)
            return &title;
    return nullptr;
}

// The streams of the selected title, the first convertible one selected, and its chapters as the range.
void TDiscDialog::ShowTitle() {
    audio_->clear();
    notes_->clear();
    notes_->setVisible(false);
    const TTitleChoice* title = SelectedTitle();
    if (auto* ok = findChild<QPushButton*>("OkButton"))
        ok->setEnabled(title && title->refusal.empty());
    if (!title)
        return;
    QStringList notes;
    for (const std::string& note : title->notes)
        notes << DialogText(note);
    // A title that cannot be converted says why where its notes go, and OK waits for another title.
    if (!title->refusal.empty())
        notes << DialogText(title->refusal);
    notes_->setText(notes.join('\n'));
    notes_->setVisible(!notes.isEmpty());
    for (const TAudioChoice& audio : title->audio) {
        auto* item = new QListWidgetItem(Text(audio.text), audio_);
        item->setData(Qt::UserRole, audio.number);
        if (!audio.convertible)
            item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
        else if (!audio_->currentItem())
            audio_->setCurrentItem(item);
    }
    const int chapters = std::max(1, title->chapters);
    first_->setRange(1, chapters);
    last_->setRange(1, chapters);
    first_->setValue(1);
    last_->setValue(chapters);
    EnablePacking();
}

TDiscChoice TDiscDialog::Choice() const {
    TDiscChoice choice;
    TSelection& selection = choice.selection;
    if (const TTitleChoice* title = SelectedTitle())
        selection.title = title->number;
    if (const QListWidgetItem* audio = audio_->currentItem(); audio && (audio->flags() & Qt::ItemIsEnabled))
        selection.track = audio->data(Qt::UserRole).toInt();
    selection.chapters = chapters_->isChecked();
    selection.videoSide = choices_ == sides_[1];
    if (packing_->isEnabled())
        choice.packing = static_cast<TLpcmPackingChoice>(packing_->currentIndex());
    for (const auto& [button, row] : formats_)
        if (button->isChecked())
            choice.format = row;
    if (selection.chapters) {
        selection.firstChapter = first_->value();
        selection.lastChapter = last_->value();
    }
    return choice;
}

// A title without LPCM audio is not taken: the dialog stays, and says why as oxlip-convert would.
void TDiscDialog::accept() {
    const TTitleChoice* title = SelectedTitle();
    if (!title)
        return;
    if (!title->refusal.empty()) {
        ShowErrorMessage(this, DialogText(title->refusal));
        return;
    }
    QDialog::accept();
}
