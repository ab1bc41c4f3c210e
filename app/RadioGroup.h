#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QRadioButton;

// A framed group of radio items in one column, placed by the rule of the system the window was designed
// on: each item as wide as the group less 10 pixels and 8 pixels in; with t the caption font's text
// height, items (height - t - 5) / n high, the first t + 1 + ((height - t - 5) mod n) / 2 below the top.
// Only the selected item is a tab stop; the arrow keys move among the items.
class TRadioGroup final : public QWidget {
    Q_OBJECT
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    int ItemIndex() const;
    void SetItemIndex(int index);
    QRadioButton* Item(int index) const { return items_.at(index); }
    int Count() const { return static_cast<int>(items_.size()); }

    static QRect ItemRect(QSize groupSize, int textHeight, int count, int index);

signals:
    void ItemIndexChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ArrangeItems();
    void UpdateTabStops();

    QString caption_;
    QList<QRadioButton*> items_;
    QButtonGroup* buttons_;
};
