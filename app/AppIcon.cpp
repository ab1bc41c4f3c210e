#include "AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

QImage DrawAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 48.0, size / 48.0);

    // The tile.
    QLinearGradient tile(0, 0, 0, 48);
    tile.setColorAt(0, QColor(0x2f, 0x5f, 0xa8));
    tile.setColorAt(1, QColor(0x12, 0x2b, 0x55));
    painter.setPen(QPen(QColor(0x0b, 0x1b, 0x38), 1.5));
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(2, 2, 44, 44), 8, 8);

    // Sample bars of one wave period: the PCM the program decodes.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xff, 0xd5, 0x4a));
    constexpr int kBars = 10;
    for (int i = 0; i < kBars; ++i) {
        const double value = std::sin(2 * std::numbers::pi * (i + 0.5) / kBars);
        const double height = 15 * value;
        const double x = 7 + i * 3.5;
        painter.drawRect(QRectF(x, 24 - std::max(height, 0.0), 2.5, std::abs(height)));
    }

    // The smooth wave that comes out.
    QPainterPath wave;
    for (int step = 0; step <= 34; ++step) {
        const double x = 7 + step;
        const double y = 24 - 15 * std::sin(2 * std::numbers::pi * step / 34.0);
        step == 0 ? wave.moveTo(x, y) : wave.lineTo(x, y);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(wave);
    return image;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
    return icon;
}
