#include "InputNames.h"

#include "disc/DiscConversion.h"
#include "engine/NameProposal.h"

#include <QFile>
#include <QFileInfo>

namespace {

std::string Encoded(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QString Decoded(const std::string& name) {
    return QFile::decodeName(name.c_str());
}

} // namespace

TInputKind InputKindOf(const QString& name) {
    if (QFileInfo(name).isDir())
        return TInputKind::Disc;
    return ClassifyInput(Encoded(name));
}

QString ProposedOutputName(const QString& input, TInputKind kind) {
    if (kind == TInputKind::Disc)
        if (const std::string disc = ProposeDiscOutputName(Encoded(input)); !disc.empty())
            return Decoded(disc);
    return Decoded(ProposeOutputName(Encoded(input)));
}
