#include "GaugePanel.h"

#include <QPainter>
#include <qdrawutil.h>

namespace {

constexpr int kBevelWidth = 1;
constexpr int kBorderWidth = 1;

} // namespace

TGaugePanel::TGaugePanel(QWidget* parent) : QWidget(parent), client_(new QWidget(this)) {}

void TGaugePanel::resizeEvent(QResizeEvent*) {
    client_->setGeometry(rect().adjusted(kEdgeWidth, kEdgeWidth, -kEdgeWidth, -kEdgeWidth));
}

void TGaugePanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    qDrawWinPanel(&painter, rect(), palette(), true);
    const QRect outer = client_->geometry();
    qDrawShadeRect(&painter, outer, palette(), false, kBevelWidth);
    const int inset = kBevelWidth + kBorderWidth;
    qDrawShadeRect(&painter, outer.adjusted(inset, inset, -inset, -inset), palette(), true, kBevelWidth);
}
