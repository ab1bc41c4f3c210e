// The window as a user drives it on a desktop: oxlip started on a disc under a window manager, the disc's
// dialog answered by real key presses (xdotool), Process... clicked, and the files compared with what
// oxlip-convert writes for the same choices. Runs on an X display with a window manager (xvfb-run and
// with-window-manager.sh).
#include "CliProcess.h"
#include "DiscFixtures.h"
#include "TestFiles.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

// What xdotool prints, trimmed; empty when it fails (no such window yet).
QString Xdotool(const QStringList& arguments, bool* done = nullptr) {
    QProcess xdotool;
    xdotool.start("xdotool", arguments);
    const bool finished = xdotool.waitForFinished(10'000) && xdotool.exitCode() == 0;
    if (done)
        *done = finished;
    return finished ? QString::fromLocal8Bit(xdotool.readAllStandardOutput()).trimmed() : QString();
}

// The shown window captioned `caption`, once it is shown and has the keyboard.
QString ActiveWindowNamed(const QString& caption) {
    QString window;
    const bool active = QTest::qWaitFor(
        [&] {
            window = Xdotool({"search", "--onlyvisible", "--name", "^" + caption + "$"}).section('\n', 0, 0);
            return !window.isEmpty() && Xdotool({"getactivewindow"}) == window;
        },
        20'000);
    return active ? window : QString();
}

} // namespace

class DiscDialogByKeyboardTest : public QObject {
    Q_OBJECT

private slots:
    // The keys pressed in "Titles and chapters", from the moment it opens with the title list focused, and
    // the oxlip-convert options that write the same files.
    void chosenByKeysConvertsLikeTheHeadlessConverter_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("outputs");
        if (!DiscFixtures().missing.empty())
            QSKIP(qPrintable(QString::fromStdString(DiscFixtures().missing) + " is not installed"));
        QTest::newRow("another title: Down, Enter")
            << "Down Return" << QStringList{"--title", "2"} << QStringList{"MUSICDISC-t02.wav"};
        QTest::newRow("another stream: Tab, Down, Enter")
            << "Tab Down Return" << QStringList{"--track", "2"} << QStringList{"MUSICDISC-t01.wav"};
        QTest::newRow("one file per song: Alt+C, Enter")
            << "alt+c Return" << QStringList{"--chapters"}
            << QStringList{"MUSICDISC-t01-c01.wav", "MUSICDISC-t01-c02.wav", "MUSICDISC-t01-c03.wav"};
    }
    void chosenByKeysConvertsLikeTheHeadlessConverter() {
        QFETCH(QString, keys);
        QFETCH(QStringList, options);
        QFETCH(QStringList, outputs);
        const TempDir dir;
        const fs::path disc = dir.Root() / "MUSICDISC";
        fs::copy(DiscFixtures().discFolder, disc, fs::copy_options::recursive);

        QProcess oxlip;
        // Ended whatever the test's outcome.
        const std::unique_ptr<QProcess, void (*)(QProcess*)> ender(&oxlip, [](QProcess* process) {
            process->kill();
            process->waitForFinished();
        });
        oxlip.setProcessChannelMode(QProcess::ForwardedChannels);
        oxlip.start(OXLIP_PATH, {QString::fromStdString(disc.string())});
        QVERIFY(oxlip.waitForStarted());
        const QString dialog = ActiveWindowNamed("Titles and chapters");
        QVERIFY2(!dialog.isEmpty(), "the disc's dialog did not open with the keyboard");
        // A mnemonic clicks its box a moment after the key: the keys are pressed as a person would.
        bool pressed = false;
        Xdotool(QStringList{"key", "--clearmodifiers", "--delay", "400"} + keys.split(' '), &pressed);
        QVERIFY(pressed);

        const QString window = ActiveWindowNamed("Oxlip");
        QVERIFY2(!window.isEmpty(), "the main window did not get the keyboard back");
        // Process..., in the middle of the button.
        Xdotool({"mousemove", "--window", window, "308", "216", "click", "1"});
        const auto written = [&] {
            for (const QString& output : outputs)
                if (!fs::exists(dir.Root() / output.toStdString()))
                    return false;
            // The caption names the file being written until the run ends.
            return Xdotool({"getwindowname", window}) == "Oxlip";
        };
        QVERIFY2(QTest::qWaitFor(written, 60'000), "the run did not write every file");
        oxlip.terminate();
        QVERIFY(oxlip.waitForFinished(10'000));

        const fs::path reference = dir.Root() / "reference";
        fs::create_directory(reference);
        CliRun run;
        run.args = {"-q"};
        for (const QString& option : options)
            run.args.push_back(option.toStdString());
        const bool chapters = outputs.size() > 1;
        run.args.insert(run.args.end(),
                        {"-o",
                         chapters ? reference.string() : (reference / outputs.at(0).toStdString()).string(),
                         disc.string()});
        QCOMPARE(RunCli(run).exitStatus, 0);
        for (const QString& output : outputs) {
            const Bytes made = ReadFile((dir.Root() / output.toStdString()).string());
            QVERIFY(made.size() > 46);
            QVERIFY2(made == ReadFile((reference / output.toStdString()).string()), qPrintable(output));
        }
        // Nothing else was written beside the disc.
        QCOMPARE(std::distance(fs::directory_iterator(dir.Root()), fs::directory_iterator()),
                 static_cast<std::ptrdiff_t>(outputs.size() + 2));
    }
};

QTEST_GUILESS_MAIN(DiscDialogByKeyboardTest)
#include "DiscDialogByKeyboardTest.moc"
