#include "FileDialog.h"

#include "MessageDialogs.h"
#include "texts/Messages.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSplitter>
#include <QTreeView>

namespace {

constexpr int kDialogWidth = 760;
constexpr int kDialogHeight = 440;
constexpr int kPlacesWidth = 150;
constexpr int kDateColumn = 3;
constexpr int kColumnPadding = 24;

} // namespace

// Qt's own dialog splits a filter's patterns at spaces only, so "*.vob;*.mpg" would list no file at all.
// Whenever the dialog has applied a filter, its list is given the patterns split at semicolons too: after
// the user picks one, after a filter is selected by the program (which happens before the dialog applies
// it, hence queued), and when the dialog shows.
TFileDialog::TFileDialog(QWidget* parent, const QString& caption, const QString& directory)
    : QFileDialog(parent, caption, directory) {
    resize(kDialogWidth, kDialogHeight);
    connect(this, &QFileDialog::filterSelected, this, &TFileDialog::ListFilesOfSelectedFilter);
    if (auto* filters = findChild<QComboBox*>("fileTypeCombo"))
        connect(filters, &QComboBox::currentIndexChanged, this, &TFileDialog::ListFilesOfSelectedFilter,
                Qt::QueuedConnection);
}

// Qt's own dialog opens too narrow for its columns: dates and the places list end in "...". The name
// column keeps what is left.
void TFileDialog::showEvent(QShowEvent* event) {
    QFileDialog::showEvent(event);
    ListFilesOfSelectedFilter();
    // Once, as a user would drag it: a date column as wide as a date and time. Fitting the columns to
    // their contents would measure every row each time the folder's listing grows.
    if (auto* details = findChild<QTreeView*>("treeView"); details && details->header()->count() > 3) {
        QHeaderView* header = details->header();
        header->resizeSection(
            kDateColumn,
            header->fontMetrics().horizontalAdvance(QStringLiteral("30 Sep 2026 00:00:00")) + kColumnPadding);
    }
    if (auto* places = findChild<QSplitter*>("splitter"); places && places->count() == 2) {
        const int sidebar = std::max(places->sizes().value(0), kPlacesWidth);
        places->setSizes({sidebar, std::max(0, places->width() - sidebar)});
    }
}

void TFileDialog::ListFilesOfSelectedFilter() {
    auto* files = findChild<QFileSystemModel*>();
    const QString filter = selectedNameFilter();
    if (!files || !filter.contains(';'))
        return;
    const QString patterns = filter.mid(filter.lastIndexOf('(') + 1).chopped(1);
    files->setNameFilters(patterns.split(QRegularExpression("[; ]"), Qt::SkipEmptyParts));
}

void TFileDialog::accept() {
    if (acceptMode() == AcceptSave) {
        const QStringList names = selectedFiles();
        if (!names.isEmpty() && !QFileInfo(names.first()).absoluteDir().exists()) {
            QMessageBox::warning(this, windowTitle(), DialogText(msg::kNoSuchFolder));
            return;
        }
    }
    QFileDialog::accept();
}

// Enter pressed while the name box's completion list is open reaches the name box, which confirms the
// dialog from inside that key press; the list, a popup window of its own, stays open after the dialog
// has gone. Qt then keeps the whole application in popup mode: the next click only closes the invisible
// list, keys go to it, and focus changes in the main window carry the popup reason, so the window's
// handlers for leaving a control never run. A modal dialog lets no other window open a popup, so every
// popup still open when it ends is its own and is closed with it.
void TFileDialog::done(int result) {
    while (QWidget* popup = QApplication::activePopupWidget())
        if (!popup->close())
            break;
    QFileDialog::done(result);
}
