#pragma once

#include "run/InputChoices.h"
#include "run/RunRequest.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QRadioButton;
class QSpinBox;
class QTreeWidget;

// What the user chose of a disc: a title, one of its audio streams (the disc's number), whole or one file
// per chapter, and the output format.
struct TDiscChoice {
    TSelection selection;
    const TOutputFormatRow* format = &DefaultOutputFormat();
    // How 20- or 24-bit audio of other than two channels is read: detected, or as the user heard it.
    TLpcmPackingChoice packing = TLpcmPackingChoice::Auto;
};

// "Titles and chapters": the disc's titles (the preferred one selected; those that cannot be read shown
// with the reason, but not selectable), the selected title's notes and audio streams (those that cannot be
// converted shown but not selectable), and one file per chapter over a range.
class TDiscDialog final : public QDialog {
public:
    // videoSide: a hybrid disc's video side, offered beside `choices` (its audio side); nullptr for others.
    TDiscDialog(QWidget* parent, const TDiscChoices& choices, const TDiscChoices* videoSide = nullptr);
    TDiscChoice Choice() const;

    void accept() override;

private:
    void ListTitles();
    void ShowTitle();
    void EnableRange(bool enable);
    void EnablePacking();
    const TTitleChoice* SelectedTitle() const;

    const TDiscChoices* sides_[2];
    const TDiscChoices* choices_; // the side shown
    QComboBox* side_;
    QTreeWidget* titles_;
    QLabel* notes_; // the selected title's notes: chapters dropped, cells cut
    QListWidget* audio_;
    QLabel* packingLabel_;
    QComboBox* packing_; // automatic, pairs, quads
    QCheckBox* chapters_;
    QLabel* fromLabel_;
    QSpinBox* first_;
    QLabel* toLabel_;
    QSpinBox* last_;
    // One per output format, in the table's order.
    std::vector<std::pair<QRadioButton*, const TOutputFormatRow*>> formats_;
};
