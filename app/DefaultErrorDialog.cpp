#include "DefaultErrorDialog.h"

#include "MessageDialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

QString ApplicationTitle(const QString& programPath) {
    QString name = QFileInfo(programPath).fileName();
    name.truncate(name.indexOf(u'.') < 0 ? name.size() : name.indexOf(u'.'));
    // A program file on this platform is named in lower case; its title begins with a capital.
    return name.left(1).toUpper() + name.mid(1).toLower();
}

QString MessageWithFullStop(const QString& message) {
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

void ShowDefaultErrorDialog(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(QCoreApplication::applicationFilePath()),
                    MessageWithFullStop(message), QMessageBox::NoButton, parent);
    box.setObjectName("DefaultErrorDialog");
    QPushButton* ok = box.addButton(kOkCaption, QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    ok->setFocus();
    box.exec();
}
