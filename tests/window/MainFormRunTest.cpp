// Conversions driven through the window: clicks, STOP! and its answers, Escape, and closing mid-run.
#include "MainForm.h"
#include "OxlipApplication.h"
#include "QuitSignals.h"
#include "TestFiles.h"
#include "WindowTestSupport.h"
#include "texts/Messages.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <memory>
#include <unistd.h>

namespace {

// Enough groups that the run pumps events many times with the pump's interval set to zero.
constexpr size_t kGroups = 200000;

} // namespace

class MainFormRunTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainForm> form;
    std::unique_ptr<TempDir> dir;
    std::string input;
    std::string output;
    Bytes reference;

    QPushButton* Button(const char* name) { return form->findChild<QPushButton*>(name); }
    void SetNames() {
        form->findChild<QLineEdit*>("InputEdit")->setText(QString::fromStdString(input));
        form->findChild<QLineEdit*>("OutputEdit")->setText(QString::fromStdString(output));
        Button("ProcessBitBtn")->setEnabled(true);
    }
    // The output is a prefix of the full conversion whose header describes exactly what it holds.
    void VerifyValidPartialOutput() {
        const Bytes written = ReadFile(output);
        QVERIFY(written.size() >= 46 && written.size() < reference.size());
        QCOMPARE(U32At(written, 4), uint32_t(written.size() - 8));
        QCOMPARE(U32At(written, 42), uint32_t(written.size() - 46));
        QVERIFY(std::equal(written.begin() + 46, written.end(), reference.begin() + 46));
    }

private slots:
    void initTestCase() {
        dir = std::make_unique<TempDir>();
        input = dir->Path("take.raw");
        WriteFile(input, RandomGroups(kGroups, 3));
        // The headless converter's output is the reference for every run here.
        const std::string referencePath = dir->Path("reference.wav");
        QProcess convert;
        convert.start(OXLIP_CONVERT_PATH,
                      {"-q", "-y", "-b", "24", "-r", "48000", "-o", QString::fromStdString(referencePath),
                       QString::fromStdString(input)});
        QVERIFY(convert.waitForFinished(60000));
        QCOMPARE(convert.exitCode(), 0);
        reference = ReadFile(referencePath);
        QCOMPARE(reference.size(), size_t(46 + kGroups * 12));
    }
    void init() {
        output = dir->Path("out.wav");
        std::filesystem::remove(output);
        form = std::make_unique<TMainForm>();
        form->EventPump().SetInterval(std::chrono::nanoseconds(0));
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    void cleanup() { form.reset(); }
    void cleanupTestCase() { dir.reset(); }

    void clickedConversionMatchesTheHeadlessConverter() {
        TDialogAnswerer answerer(
            {ChooseFile(QString::fromStdString(input), 1), ChooseFile(QString::fromStdString(output))});
        QTest::mouseClick(Button("OpenBitBtn"), Qt::LeftButton);
        QTest::mouseClick(Button("SaveBitBtn"), Qt::LeftButton);
        QVERIFY(Button("ProcessBitBtn")->isEnabled());
        QTest::mouseClick(Button("ProcessBitBtn"), Qt::LeftButton);
        QVERIFY(answerer.AllAnswered());
        QCOMPARE(answerer.Unexpected(), 0);
        QVERIFY(ReadFile(output) == reference);
        QVERIFY(form->EventPump().PumpCount() > 0);
        QCOMPARE(form->findChild<TGauge*>("ProgressGauge")->PercentDone(), 100);
        // Back to idle.
        QVERIFY(Button("ProcessBitBtn")->isVisible() && Button("ProcessBitBtn")->isEnabled());
        QVERIFY(!Button("StopBitBtn")->isVisible());
        QVERIFY(form->findChild<QLineEdit*>("InputEdit")->isEnabled());
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void stopWithAbortDeletesTheOutput() {
        SetNames();
        bool stillOpenAfterEscape = false;
        bool busyWhileStopping = false;
        TDialogAnswerer answerer({EscapeThenClick("&Abbrechen", stillOpenAfterEscape)});
        TWhenConverting stop(Button("StopBitBtn"), [&] {
            busyWhileStopping = !form->findChild<QLineEdit*>("InputEdit")->isEnabled() &&
                                QGuiApplication::overrideCursor() != nullptr;
            Button("StopBitBtn")->click();
        });
        QTest::mouseClick(Button("ProcessBitBtn"), Qt::LeftButton);
        QVERIFY(answerer.AllAnswered());
        QVERIFY(busyWhileStopping);
        QVERIFY2(stillOpenAfterEscape, "Escape does not answer the stop question");
        QCOMPARE(answerer.Seen().at(0).objectName, QString("StopDialog"));
        QVERIFY(!Exists(output));
    }

    void stopWithIgnoreKeepsAValidPartialFile() {
        SetNames();
        TDialogAnswerer answerer({ClickButton("&Ignorieren")});
        TWhenConverting stop(Button("StopBitBtn"), [&] { Button("StopBitBtn")->click(); });
        QTest::mouseClick(Button("ProcessBitBtn"), Qt::LeftButton);
        QVERIFY(answerer.AllAnswered());
        VerifyValidPartialOutput();
    }

    void stopWithRetryLosesNothing() {
        SetNames();
        TDialogAnswerer answerer({ClickButton("&Wiederholen")});
        TWhenConverting stop(Button("StopBitBtn"), [&] { Button("StopBitBtn")->click(); });
        QTest::mouseClick(Button("ProcessBitBtn"), Qt::LeftButton);
        QVERIFY(answerer.AllAnswered());
        QVERIFY(ReadFile(output) == reference);
    }

    // Escape presses STOP! during a run, but not with a modifier.
    void escapeDuringARunAsksTheStopQuestion() {
        SetNames();
        TDialogAnswerer answerer({ClickButton("&Abbrechen")});
        int dialogsAfterShiftEscape = -1;
        TWhenConverting stop(Button("StopBitBtn"), [&] {
            QTest::keyClick(form.get(), Qt::Key_Escape, Qt::ShiftModifier);
            dialogsAfterShiftEscape = static_cast<int>(answerer.Seen().size());
            QTest::keyClick(form.get(), Qt::Key_Escape);
        });
        QTest::mouseClick(Button("ProcessBitBtn"), Qt::LeftButton);
        QCOMPARE(dialogsAfterShiftEscape, 0);
        QVERIFY(answerer.AllAnswered());
        QCOMPARE(answerer.Unexpected(), 0);
        QVERIFY(!Exists(output));
    }

    // Closing mid-run lets the run finish; from then on the stop question ends at once as if dismissed,
    // and the window closes after the run.
    void closingDuringARunFinishesTheRunThenCloses() {
        SetNames();
        TDialogAnswerer answerer;
        bool visibleAfterClose = false;
        TWhenConverting stop(Button("StopBitBtn"), [&] {
            form->close();
            visibleAfterClose = form->isVisible();
            Button("StopBitBtn")->click();
        });
        QTest::mouseClick(Button("ProcessBitBtn"), Qt::LeftButton);
        QVERIFY(visibleAfterClose);
        QVERIFY(answerer.Seen().isEmpty());
        QVERIFY(ReadFile(output) == reference);
        QTRY_VERIFY(!form->isVisible());
    }

    // SIGTERM, SIGINT and SIGHUP abort a run and close the window after it; idle, they close it at once,
    // dismissing an open dialog.
    void quitSignalAbortsARunOrClosesAtOnce() {
        TQuitSignals quitSignals;
        connect(&quitSignals, &TQuitSignals::Received, form.get(), &TMainForm::CloseAbortingRun);
        SetNames();
        TDialogAnswerer answerer({[](QWidget*) { kill(getpid(), SIGHUP); }});
        TWhenConverting signal(Button("StopBitBtn"), [] { kill(getpid(), SIGTERM); });
        QTest::mouseClick(Button("ProcessBitBtn"), Qt::LeftButton);
        QVERIFY(!Exists(output));
        QCOMPARE(quitSignals.ExitStatus(), 128 + SIGTERM);
        QTRY_VERIFY(!form->isVisible());

        form->show();
        QTest::mouseClick(Button("OpenBitBtn"), Qt::LeftButton); // SIGHUP while the dialog is open
        QVERIFY(answerer.AllAnswered());
        QTRY_VERIFY(!form->isVisible());
    }

    void existingOutputIsKeptWhenOverwriteIsRefused() {
        WriteFile(output, {9, 9, 9});
        SetNames();
        TDialogAnswerer answerer({PressKey(Qt::Key_Escape)});
        QTest::mouseClick(Button("ProcessBitBtn"), Qt::LeftButton);
        QCOMPARE(answerer.Seen().value(0).text, QString(msg::kOverwrite));
        QVERIFY(ReadFile(output) == Bytes({9, 9, 9}));
        QVERIFY(Button("ProcessBitBtn")->isEnabled());
    }

    void pumpProcessesEventsOnlyEveryThousandCallsAndInterval() {
        TEventPump pump;
        pump.SetInterval(std::chrono::nanoseconds(0));
        pump.Start();
        for (int i = 0; i < 10 * TEventPump::kCallsPerClockCheck; ++i)
            pump.Pump();
        QCOMPARE(pump.PumpCount(), qint64(10));
        pump.SetInterval(std::chrono::hours(1));
        pump.Start();
        for (int i = 0; i < 10 * TEventPump::kCallsPerClockCheck; ++i)
            pump.Pump();
        QCOMPARE(pump.PumpCount(), qint64(0));
    }
};

OXLIP_WINDOW_TEST_MAIN(MainFormRunTest)
#include "MainFormRunTest.moc"
