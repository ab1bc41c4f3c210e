#include "Glyphs.h"

#include <QPixmap>

namespace {

#include "glyphs/OpenGlyph.xpm"
#include "glyphs/ProcessGlyph.xpm"
#include "glyphs/SaveGlyph.xpm"
#include "glyphs/StopGlyph.xpm"

QIcon SplitGlyph(const char* const* xpm) {
    const QPixmap both(xpm);
    const int side = both.width() / 2;
    QIcon icon;
    icon.addPixmap(both.copy(0, 0, side, both.height()), QIcon::Normal);
    icon.addPixmap(both.copy(side, 0, side, both.height()), QIcon::Disabled);
    return icon;
}

} // namespace

QIcon OpenGlyph() {
    return SplitGlyph(open_glyph);
}
QIcon SaveGlyph() {
    return SplitGlyph(save_glyph);
}
QIcon ProcessGlyph() {
    return SplitGlyph(process_glyph);
}
QIcon StopGlyph() {
    return SplitGlyph(stop_glyph);
}
