#include "ChoiceButtons.h"

#include "MessageDialogs.h"

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
    auto* cancel = new QPushButton(QString(kAbortCaption).remove(u'&'), dialog);
    cancel->setObjectName("CancelButton");
    cancel->setAutoDefault(false);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}
