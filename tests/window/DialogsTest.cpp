#include "DefaultErrorDialog.h"
#include "MessageDialogs.h"
#include "OxlipApplication.h"
#include "WindowTestSupport.h"
#include "texts/Messages.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTest>
#include <stdexcept>

// An object whose handler throws, standing for any handler that lets an exception escape.
class TThrowingObject : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw std::runtime_error("Something went wrong");
        return QObject::event(event);
    }
};

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void errorBoxHasOkAnsweredByEnterAndEscape() {
        for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
            TDialogAnswerer answerer({PressKey(key)});
            ShowErrorMessage(nullptr, msg::kCannotOpenInput);
            QVERIFY(answerer.AllAnswered());
            QCOMPARE(answerer.Unexpected(), 0);
            const TSeenDialog& seen = answerer.Seen().at(0);
            QCOMPARE(seen.title, QString("Fehler"));
            QCOMPARE(seen.buttons, QStringList{"OK"});
            QCOMPARE(seen.focusedButton, QString("OK"));
        }
    }

    void confirmationAnswersYesOnlyForYes() {
        TDialogAnswerer answerer({PressKey(Qt::Key_Return), PressKey(Qt::Key_Escape),
                                  ClickButtonOnScreen("&Nein"), ClickButtonOnScreen("&Ja")});
        QVERIFY(AskConfirmation(nullptr, msg::kOverwrite)); // Enter: the focused Yes
        QVERIFY(!AskConfirmation(nullptr, msg::kOverwrite));
        QVERIFY(!AskConfirmation(nullptr, msg::kOverwrite));
        QVERIFY(AskConfirmation(nullptr, msg::kOverwrite));
        QCOMPARE(answerer.Unexpected(), 0);
        const TSeenDialog& seen = answerer.Seen().at(0);
        QCOMPARE(seen.title, QString("Bestätigung"));
        QCOMPARE(seen.buttons, (QStringList{"&Ja", "&Nein"}));
        QCOMPARE(seen.focusedButton, QString("&Ja"));
    }

    void stopQuestionIgnoresEscapeAndAnswersEachButton() {
        bool stillOpen = false;
        TDialogAnswerer answerer({EscapeThenClick("&Ignorieren", stillOpen), PressKey(Qt::Key_Return),
                                  ClickButtonOnScreen("&Wiederholen")});
        QCOMPARE(AskStopQuestion(nullptr, "You stopped the conversion."), TStopAnswer::Ignore);
        QVERIFY(stillOpen);
        QCOMPARE(AskStopQuestion(nullptr, "You stopped the conversion."), TStopAnswer::Abort);
        QCOMPARE(AskStopQuestion(nullptr, "You stopped the conversion."), TStopAnswer::Retry);
        QCOMPARE(answerer.Unexpected(), 0);
        const TSeenDialog& seen = answerer.Seen().at(0);
        QCOMPARE(seen.title, QString("Bestätigung"));
        QCOMPARE(seen.buttons, (QStringList{"&Abbrechen", "&Wiederholen", "&Ignorieren"}));
        QCOMPARE(seen.focusedButton, QString("&Abbrechen"));
    }

    void messageLineBreaksBecomeDialogLines() {
        QCOMPARE(DialogText(msg::kTooManyFor16),
                 QString("Too many samples to be handled in a\nRIFF WAVE file."));
    }

    void applicationTitleComesFromTheProgramFileName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("installed") << "/usr/local/bin/oxlip"
                                   << "Oxlip";
        QTest::newRow("upper case, extension") << "C:/Tools/OXLIP.EXE"
                                               << "Oxlip";
        QTest::newRow("everything from the first dot") << "my.tool.bin"
                                                       << "My";
        QTest::newRow("mixed case") << "oXLIP"
                                    << "Oxlip";
    }
    void applicationTitleComesFromTheProgramFileName() {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QCOMPARE(ApplicationTitle(path), title);
    }

    void fullStopAddedAfterCharactersThatSortAfterIt_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Could not write buffer to disk"
                                << "Could not write buffer to disk.";
        QTest::newRow("full stop") << "Sharing violation - file is in use."
                                   << "Sharing violation - file is in use.";
        QTest::newRow("exclamation sorts before") << "Stop!"
                                                  << "Stop!";
        QTest::newRow("digit sorts after") << "Error 5"
                                           << "Error 5.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fullStopAddedAfterCharactersThatSortAfterIt() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(MessageWithFullStop(message), shown);
    }

    // An exception no handler catches reaches the default error dialog, and the program goes on.
    void uncaughtExceptionShowsTheDefaultErrorDialog() {
        TDialogAnswerer answerer({PressKey(Qt::Key_Return)});
        TThrowingObject thrower;
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QTRY_VERIFY(answerer.AllAnswered());
        const TSeenDialog& seen = answerer.Seen().at(0);
        QCOMPARE(seen.objectName, QString("DefaultErrorDialog"));
        QCOMPARE(seen.title, ApplicationTitle(QCoreApplication::applicationFilePath()));
        QCOMPARE(seen.title, QString("Dialogstest"));
        QCOMPARE(seen.text, QString("Something went wrong."));
        QCOMPARE(seen.buttons, QStringList{"OK"});
    }
};

OXLIP_WINDOW_TEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
