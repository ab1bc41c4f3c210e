#pragma once

#include "run/InputChoices.h"

#include <QDialog>

class QListWidget;

// "Audio tracks": a program stream's LPCM tracks, the first selected.
class TTrackDialog final : public QDialog {
public:
    TTrackDialog(QWidget* parent, const std::vector<TAudioChoice>& tracks);
    // The chosen track, 1-based.
    int Track() const;

private:
    QListWidget* tracks_;
};
