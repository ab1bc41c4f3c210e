#include "WindowFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>
#include <cstdlib>
#include <tuple>

namespace {

constexpr int kPixelSize = 11;
const QString kWantedFamily = QStringLiteral("MS Sans Serif");
// The longest caption of the window: a candidate that fits it fits the others.
const QString kWidestCaption = QStringLiteral("intel (WAV; swapped by ripper)");

QFont SizedFont(const QString& family, int pixelSize) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace

QFont ChooseWindowFont() {
    const QFont wanted = SizedFont(kWantedFamily, kPixelSize);
    if (QFontInfo(wanted).exactMatch())
        return wanted;

    QStringList families = {"Microsoft Sans Serif",  "Arial",       "Liberation Sans", "DejaVu Sans",
                            "DejaVu Sans Condensed", "Nimbus Sans", "FreeSans",        "Helvetica"};
    families << QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();

    QFont best = wanted;
    std::tuple<int, int> bestScore{INT32_MAX, INT32_MAX};
    for (const QString& family : families) {
        if (!QFontDatabase::hasFamily(family))
            continue;
        for (int pixelSize : {kPixelSize, kPixelSize - 1, kPixelSize + 1}) {
            const QFont candidate = SizedFont(family, pixelSize);
            const QFontMetrics metrics(candidate);
            const std::tuple<int, int> score{std::abs(metrics.height() - kWindowTextHeight),
                                             metrics.horizontalAdvance(kWidestCaption)};
            if (score < bestScore) {
                bestScore = score;
                best = candidate;
            }
        }
    }
    return best;
}
