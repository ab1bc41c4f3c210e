#include "Gauge.h"

#include <QImage>
#include <QPainter>

TGauge::TGauge(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    UpdatePercent();
}

int TGauge::Percent(int64_t minimum, int64_t maximum, int64_t progress) {
    if (maximum == minimum)
        return 0;
    return static_cast<int>(static_cast<double>(progress - minimum) * 100.0 /
                            static_cast<double>(maximum - minimum));
}

void TGauge::SetMinValue(int64_t value) {
    min_ = std::min(value, max_);
    progress_ = std::clamp(progress_, min_, max_);
    UpdatePercent();
}

void TGauge::SetMaxValue(int64_t value) {
    max_ = std::max(value, min_);
    progress_ = std::clamp(progress_, min_, max_);
    UpdatePercent();
}

// The percentage grows with the progress, so the first value that reaches a percentage is found by
// bisection.
int64_t TGauge::FirstProgressReaching(int percent) const {
    int64_t low = min_;
    int64_t high = max_ + 1;
    while (low < high) {
        const int64_t middle = low + (high - low) / 2;
        if (Percent(min_, max_, middle) >= percent)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

void TGauge::UpdatePercent() {
    const int percent = Percent(min_, max_, progress_);
    percentFrom_ = FirstProgressReaching(percent);
    percentUntil_ = FirstProgressReaching(percent + 1);
    if (percent != percent_) {
        percent_ = percent;
        update();
    }
}

void TGauge::paintEvent(QPaintEvent*) {
    const QColor background = palette().color(QPalette::Button);
    const QColor bar = palette().color(QPalette::Highlight);

    // Drawn on an image of our own so that the XOR below runs on the raster engine on every platform.
    QImage image(size(), QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.fillRect(0, 0, width() * percent_ / 100, height(), bar);

    // White text XORed with the picture inverts what lies under it: the complement of the background over
    // the empty part and of the bar over the filled part. XOR ignores antialiasing, so the glyphs are drawn
    // without it.
    QFont textFont = font();
    textFont.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(textFont);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, QString::asprintf("%d%%", percent_));
    painter.end();

    QPainter(this).drawImage(0, 0, image);
}
