#pragma once

#include <QWidget>
#include <algorithm>
#include <cstdint>

// A horizontal progress gauge: a bar filled in whole-percent steps from the left and the percentage
// centred on it, drawn so that it inverts what lies under it and stays legible over bar and background.
class TGauge final : public QWidget {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);

    int64_t MinValue() const { return min_; }
    int64_t MaxValue() const { return max_; }
    int64_t Progress() const { return progress_; }
    // The whole percentage shown.
    int PercentDone() const { return percent_; }

    void SetMinValue(int64_t value);
    void SetMaxValue(int64_t value);
    // Clamped to the range. Called once per converted group, so it only compares unless the whole
    // percentage changes, and only then repaints.
    void SetProgress(int64_t value) {
        progress_ = std::clamp(value, min_, max_);
        if (progress_ < percentFrom_ || progress_ >= percentUntil_)
            UpdatePercent();
    }

    // (progress - minimum) x 100 / (maximum - minimum) in floating point, truncated; 0 for an empty range.
    static int Percent(int64_t minimum, int64_t maximum, int64_t progress);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void UpdatePercent();
    int64_t FirstProgressReaching(int percent) const;

    int64_t min_ = 0;
    int64_t max_ = 100;
    int64_t progress_ = 0;
    int percent_ = 0;
    // The progress values that show percent_.
    int64_t percentFrom_ = 0;
    int64_t percentUntil_ = 1;
};
