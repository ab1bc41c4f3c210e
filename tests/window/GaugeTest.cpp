#include "Gauge.h"
#include "OxlipApplication.h"
#include "WindowTestSupport.h"

#include <QImage>
#include <QTest>
#include <random>

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

class GaugeTest : public QObject {
    Q_OBJECT
private slots:
    void percentageIsTruncatedInFloatingPoint_data() {
        QTest::addColumn<qint64>("minimum");
        QTest::addColumn<qint64>("maximum");
        QTest::addColumn<qint64>("progress");
        QTest::addColumn<int>("percent");
        QTest::newRow("half") << qint64(0) << qint64(100) << qint64(50) << 50;
        QTest::newRow("a third, truncated") << qint64(0) << qint64(3) << qint64(1) << 33;
        QTest::newRow("two thirds, truncated") << qint64(0) << qint64(3) << qint64(2) << 66;
        QTest::newRow("empty range") << qint64(7) << qint64(7) << qint64(7) << 0;
        QTest::newRow("offset range") << qint64(10) << qint64(20) << qint64(15) << 50;
        QTest::newRow("just below the end of a large run")
            << qint64(0) << qint64(357913877) << qint64(357913876) << 99;
        QTest::newRow("end") << qint64(0) << qint64(357913877) << qint64(357913877) << 100;
    }
    void percentageIsTruncatedInFloatingPoint() {
        QFETCH(qint64, minimum);
        QFETCH(qint64, maximum);
        QFETCH(qint64, progress);
        QFETCH(int, percent);
        QCOMPARE(TGauge::Percent(minimum, maximum, progress), percent);
        TGauge gauge;
        gauge.SetMaxValue(maximum);
        gauge.SetMinValue(minimum);
        gauge.SetProgress(progress);
        QCOMPARE(gauge.PercentDone(), percent);
    }

    // The gauge only recomputes when the progress leaves the range of the shown percentage: whatever
    // the path of the progress, what it shows must be what the formula gives.
    void shownPercentageFollowsAnyProgressPath() {
        std::mt19937 random(7);
        for (qint64 maximum : {qint64(1), qint64(99), qint64(997), qint64(1000), qint64(123457)}) {
            TGauge gauge;
            gauge.SetMaxValue(maximum);
            for (qint64 p = 0; p <= maximum; p += std::max<qint64>(1, maximum / 5000))
                gauge.SetProgress(p);
            QCOMPARE(gauge.PercentDone(), TGauge::Percent(0, maximum, gauge.Progress()));
            for (int step = 0; step < 2000; ++step) {
                const qint64 p = std::uniform_int_distribution<qint64>(0, maximum)(random);
                gauge.SetProgress(p);
                QCOMPARE(gauge.PercentDone(), TGauge::Percent(0, maximum, p));
            }
        }
    }

    void progressIsClampedAndLimitsKeepItInRange() {
        TGauge gauge;
        gauge.SetMaxValue(200);
        gauge.SetProgress(-5);
        QCOMPARE(gauge.Progress(), qint64(0));
        gauge.SetProgress(1000);
        QCOMPARE(gauge.Progress(), qint64(200));
        QCOMPARE(gauge.PercentDone(), 100);
        gauge.SetMaxValue(100);
        QCOMPARE(gauge.Progress(), qint64(100));
        gauge.SetProgress(0);
        gauge.SetMaxValue(0);
        QCOMPARE(gauge.PercentDone(), 0);
    }

    void repaintsOnlyWhenTheWholePercentageChanges() {
        TGauge gauge;
        gauge.resize(239, 23);
        gauge.SetMaxValue(1000);
        gauge.show();
        QVERIFY(QTest::qWaitForWindowExposed(&gauge));
        TPaintCounter paints;
        gauge.installEventFilter(&paints);
        for (int p = 1; p < 10; ++p) {
            gauge.SetProgress(p);
            QCoreApplication::processEvents();
        }
        QCOMPARE(paints.count, 0);
        gauge.SetProgress(10);
        QCoreApplication::processEvents();
        QCOMPARE(paints.count, 1);
        gauge.SetProgress(15);
        QCoreApplication::processEvents();
        QCOMPARE(paints.count, 1);
    }

    // The bar covers whole percents of the width; the white text XORed with the picture inverts what lies
    // under it: the complement of the background over the empty part, of the bar over the filled part.
    void textInvertsWhatLiesUnderIt() {
        TGauge gauge;
        gauge.resize(239, 23);
        QFont font = gauge.font();
        font.setPixelSize(13);
        font.setBold(true);
        gauge.setFont(font);
        gauge.SetMaxValue(100);
        gauge.SetProgress(50);
        const QImage image = gauge.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb background = gauge.palette().color(QPalette::Button).rgb();
        const QRgb bar = gauge.palette().color(QPalette::Highlight).rgb();
        const auto inverted = [](QRgb colour) { return colour ^ 0x00ffffffu; };
        const int barWidth = 239 * 50 / 100;

        int textOverBar = 0;
        int textOverBackground = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                const QRgb under = x < barWidth ? bar : background;
                QVERIFY2(pixel == under || pixel == inverted(under),
                         qPrintable(
                             QString("neither %1 nor its inverse at %2,%3").arg(under, 8, 16).arg(x).arg(y)));
                if (pixel == inverted(under))
                    ++(x < barWidth ? textOverBar : textOverBackground);
            }
        }
        QVERIFY(textOverBar > 10);
        QVERIFY(textOverBackground > 10);
        // Outside the centred text the bar ends exactly at its whole-percent width.
        QCOMPARE(image.pixel(barWidth - 1, 1), bar);
        QCOMPARE(image.pixel(barWidth, 1), background);
    }
};

OXLIP_WINDOW_TEST_MAIN(GaugeTest)
#include "GaugeTest.moc"
