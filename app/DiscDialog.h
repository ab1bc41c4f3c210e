#pragma once

#include "run/InputChoices.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QRadioButton;
class QSpinBox;
class QTreeWidget;

// What the user chose of a disc: a title, one of its audio streams, whole or one file per chapter.
struct TDiscChoice {
    int title = 0;
    int track = 0; // the disc's audio stream number
    bool chapters = false;
    int firstChapter = 0;
    int lastChapter = 0;
    bool flac = false; // FLAC instead of WAVE
};

// "Titles and chapters": the disc's titles (the preferred one selected; those that cannot be read shown
// with the reason, but not selectable), the selected title's notes and audio streams (those that cannot be
// converted shown but not selectable), and one file per chapter over a range.
class TDiscDialog final : public QDialog {
public:
    TDiscDialog(QWidget* parent, const TDiscChoices& choices);
    TDiscChoice Choice() const;

    void accept() override;

private:
    void ShowTitle();
    void EnableRange(bool enable);
    const TTitleChoice* SelectedTitle() const;

    const TDiscChoices& choices_;
    QTreeWidget* titles_;
    QLabel* notes_; // the selected title's notes: chapters dropped, cells cut
    QListWidget* audio_;
    QCheckBox* chapters_;
    QLabel* fromLabel_;
    QSpinBox* first_;
    QLabel* toLabel_;
    QSpinBox* last_;
    QRadioButton* flac_;
};
