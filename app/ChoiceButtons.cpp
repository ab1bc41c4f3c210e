#include "ChoiceButtons.h"

#include "MessageDialogs.h"
#include "texts/WindowTexts.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

QLayout* MakeChoiceButtons(QDialog* dialog) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* ok = new QPushButton(kOkCaption, dialog);
    ok->setObjectName("OkButton");
    ok->setDefault(true);
    ok->setAutoDefault(true);
    // The choice dialogs speak English throughout, their Cancel too.
    auto* cancel = new QPushButton(QString::fromUtf8(window_text::kCancel), dialog);
    cancel->setObjectName("CancelButton");
    cancel->setAutoDefault(false);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}
