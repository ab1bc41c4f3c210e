#pragma once

#include <QWidget>

// The sunken frame around the gauge: a two-pixel client edge, then a raised and, one pixel further in, a
// lowered bevel. Children go into Client(), whose origin is the panel's client area.
class TGaugePanel final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kEdgeWidth = 2;

    explicit TGaugePanel(QWidget* parent = nullptr);

    QWidget* Client() const { return client_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* client_;
};
