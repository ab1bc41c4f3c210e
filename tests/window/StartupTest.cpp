// The real program started where no display can be reached.
#include "OxlipApplication.h"
#include "WindowTestSupport.h"
#include "texts/Messages.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    // Without a display, or with one that is gone, the program says in one line what to do and ends with
    // status 1 instead of aborting.
    void noDisplayGivesOneLineAndStatusOne_data() {
        QTest::addColumn<QString>("display");
        QTest::newRow("no DISPLAY") << QString();
        QTest::newRow("stale DISPLAY") << ":4711";
    }
    void noDisplayGivesOneLineAndStatusOne() {
        QFETCH(QString, display);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"})
            environment.remove(name);
        if (!display.isEmpty())
            environment.insert("DISPLAY", display);
        QProcess oxlip;
        oxlip.setProcessEnvironment(environment);
        oxlip.start(OXLIP_PATH, {});
        QVERIFY(oxlip.waitForFinished(30000));
        QCOMPARE(oxlip.exitStatus(), QProcess::NormalExit);
        QCOMPARE(oxlip.exitCode(), 1);
        QCOMPARE(QString::fromLocal8Bit(oxlip.readAllStandardError()), QString(msg::kNoDisplay) + "\n");
        QVERIFY(oxlip.readAllStandardOutput().isEmpty());
    }
};

OXLIP_WINDOW_TEST_MAIN(StartupTest)
#include "StartupTest.moc"
