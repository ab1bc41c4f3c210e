#include "InputNames.h"

#include "run/RunEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

std::string Encoded(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QString Decoded(const std::string& name) {
    return QFile::decodeName(name.c_str());
}

} // namespace

const TInputKindRow* InputKindOf(const QString& name) {
    return ClassifyInput(Encoded(name));
}

// A refused input gets its name as a raw input's would be, so that Process... says what is wrong.
QString ProposedOutputName(const QString& input, const TInputKindRow* kind) {
    return Decoded(ProposeOutputFor(Encoded(input), kind ? *kind : *InputKinds().back()));
}

QString WritableFolder(const QString& folder) {
    if (QFileInfo(folder).isWritable())
        return folder;
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return !music.isEmpty() && QFileInfo(music).isDir() && QFileInfo(music).isWritable() ? music
                                                                                         : QDir::homePath();
}

QString InWritableFolder(const QString& output) {
    const QFileInfo file(output);
    const QString folder = WritableFolder(file.absolutePath());
    return folder == file.absolutePath() ? output : QDir(folder).filePath(file.fileName());
}
