#include "InputNames.h"

#include "run/RunEntry.h"

#include <QFile>

namespace {

std::string Encoded(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QString Decoded(const std::string& name) {
    return QFile::decodeName(name.c_str());
}

} // namespace

TInputKind InputKindOf(const QString& name) {
    return ClassifyInput(Encoded(name));
}

QString ProposedOutputName(const QString& input, TInputKind kind) {
    return Decoded(ProposeOutputFor(Encoded(input), kind));
}
