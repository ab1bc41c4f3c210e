#include "RadioGroup.h"

#include <QButtonGroup>
#include <QEvent>
#include <QPainter>
#include <QRadioButton>
#include <QStyle>
#include <qdrawutil.h>

namespace {

constexpr int kItemLeft = 8;
constexpr int kItemWidthLoss = 10;
constexpr int kCaptionLeft = 8;
constexpr int kCaptionPadding = 1;

// A radio item that answers a click anywhere in its rectangle, as the original's items do; the blank
// third output item is reachable only through the strips the controls above it leave uncovered.
class TRadioItem final : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

} // namespace

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QWidget(parent), caption_(caption), buttons_(new QButtonGroup(this)) {
    for (const QString& text : items) {
        auto* item = new TRadioItem(text, this);
        buttons_->addButton(item, static_cast<int>(items_.size()));
        items_.append(item);
    }
    connect(buttons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (!checked)
            return;
        UpdateTabStops();
        emit ItemIndexChanged(id);
    });
    UpdateTabStops();
}

int TRadioGroup::ItemIndex() const {
    return buttons_->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
    if (index >= 0 && index < Count())
        items_.at(index)->setChecked(true);
}

QRect TRadioGroup::ItemRect(QSize groupSize, int textHeight, int count, int index) {
    const int room = groupSize.height() - textHeight - 5;
    const int itemHeight = room / count;
    const int firstTop = textHeight + 1 + (room % count) / 2;
    return {kItemLeft, firstTop + index * itemHeight, groupSize.width() - kItemWidthLoss, itemHeight};
}

void TRadioGroup::ArrangeItems() {
    const int textHeight = fontMetrics().height();
    for (int i = 0; i < Count(); ++i)
        items_.at(i)->setGeometry(ItemRect(size(), textHeight, Count(), i));
}

void TRadioGroup::UpdateTabStops() {
    const int checked = ItemIndex();
    for (int i = 0; i < Count(); ++i)
        items_.at(i)->setFocusPolicy(i == checked || checked < 0 ? Qt::StrongFocus : Qt::ClickFocus);
}

void TRadioGroup::resizeEvent(QResizeEvent*) {
    ArrangeItems();
}

void TRadioGroup::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        ArrangeItems();
    QWidget::changeEvent(event);
}

// A compact frame: the caption sits on the top line, so that the items at t + 1 stay clear of it.
void TRadioGroup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    qDrawShadeRect(&painter, rect().adjusted(0, metrics.height() / 2, 0, 0), palette(), true, 1);

    const QRect captionRect(kCaptionLeft, 0, metrics.horizontalAdvance(caption_) + 2 * kCaptionPadding,
                            metrics.height());
    painter.fillRect(captionRect, palette().color(QPalette::Window));
    style()->drawItemText(&painter, captionRect, Qt::AlignCenter, palette(), isEnabled(), caption_,
                          QPalette::WindowText);
}
