#include "TrackDialog.h"

#include "ChoiceButtons.h"
#include "texts/ListingTexts.h"
#include "texts/WindowTexts.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

TTrackDialog::TTrackDialog(QWidget* parent, const std::vector<TAudioChoice>& tracks) : QDialog(parent) {
    setObjectName("TrackDialog");
    setWindowTitle(QString::fromUtf8(window_text::kTrackDialogCaption));
    setModal(true);
    tracks_ = new QListWidget(this);
    tracks_->setObjectName("TrackList");
    for (const TAudioChoice& track : tracks)
        new QListWidgetItem(QString::fromUtf8((listing_text::Track(track.number) + track.text).c_str()),
                            tracks_);
    tracks_->setCurrentRow(0);
    auto* label = new QLabel(QString::fromUtf8(window_text::kTracks), this);
    label->setBuddy(tracks_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(tracks_);
    layout->addLayout(MakeChoiceButtons(this));
    resize(380, 200);
    tracks_->setFocus();
}

int TTrackDialog::Track() const {
    return tracks_->currentRow() + 1;
}
