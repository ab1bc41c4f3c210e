// The idle window: its layout, defaults, focus order and the handlers that pick names and the rate.
#include "MainForm.h"
#include "OxlipApplication.h"
#include "RadioGroup.h"
#include "TestFiles.h"
#include "WindowTestSupport.h"
#include "texts/Messages.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QWindow>
#include <memory>

namespace {

QString FocusName() {
    QWidget* focus = QApplication::focusWidget();
    if (auto* item = qobject_cast<QRadioButton*>(focus))
        return item->parentWidget()->objectName() + "/" + item->text();
    return focus ? focus->objectName() : QString();
}

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainForm> form;
    std::unique_ptr<TempDir> dir;

    template <typename T> T* Control(const char* name) {
        T* control = form->findChild<T*>(name);
        if (!control)
            qFatal("no control %s", name);
        return control;
    }
    TRadioGroup* InputFormat() { return Control<TRadioGroup>("InputFormatRadioGroup"); }
    TRadioGroup* OutputFormat() { return Control<TRadioGroup>("OutputFormatRadioGroup"); }
    QLineEdit* Edit(const char* name) { return Control<QLineEdit>(name); }
    QString Touch(const std::string& name) {
        std::filesystem::create_directories(std::filesystem::path(dir->Path(name)).parent_path());
        WriteFile(dir->Path(name), {1, 2, 3});
        return QString::fromStdString(dir->Path(name));
    }
    void Leave(QWidget* control) {
        control->setFocus();
        Control<QPushButton>("OpenBitBtn")->setFocus(Qt::TabFocusReason);
    }

private slots:
    void init() {
        form = std::make_unique<TMainForm>();
        dir = std::make_unique<TempDir>();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    void cleanup() {
        form.reset();
        dir.reset();
    }

    void windowIsFixedWithMinimiseButOnlyOneOfItsKind() {
        QCOMPARE(form->windowTitle(), QString("Oxlip"));
        QCOMPARE(form->size(), QSize(361, 241));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!form->windowIcon().isNull());
        QCOMPARE(QFontMetrics(form->font()).height(), 13);
    }

    // The window is centred as a whole, with the frame a window manager adds after it is shown.
    void windowIsCentredWithItsFrame() {
        if (qEnvironmentVariableIsSet("OXLIP_WINDOW_MANAGER"))
            QTRY_VERIFY(form->frameGeometry().height() > form->height());
        const QPoint centre = form->screen()->availableGeometry().center();
        QTRY_VERIFY2((form->frameGeometry().center() - centre).manhattanLength() <= 2,
                     qPrintable(QString("frame centre %1,%2")
                                    .arg(form->frameGeometry().center().x())
                                    .arg(form->frameGeometry().center().y())));
    }

    // What a window manager makes of the window's hints: it may move, minimise and close the window, but
    // neither resize nor maximise it.
    void windowManagerAllowsNeitherResizingNorMaximising() {
        if (!qEnvironmentVariableIsSet("OXLIP_WINDOW_MANAGER"))
            QSKIP("needs a window manager");
        QProcess xprop;
        QString allowed;
        QTRY_VERIFY([&] {
            xprop.start("xprop", {"-id", QString::number(form->winId()), "_NET_WM_ALLOWED_ACTIONS"});
            xprop.waitForFinished();
            allowed = QString::fromLatin1(xprop.readAllStandardOutput());
            return allowed.contains("_NET_WM_ACTION_CLOSE");
        }());
        for (const char* action : {"_NET_WM_ACTION_MOVE", "_NET_WM_ACTION_MINIMIZE"})
            QVERIFY2(allowed.contains(action), qPrintable(allowed));
        for (const char* action :
             {"_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT"})
            QVERIFY2(!allowed.contains(action), qPrintable(allowed));
    }

    void controlsSitWhereTheyBelong_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("InputEdit") << "InputEdit" << QRect(8, 24, 265, 21);
        QTest::newRow("OpenBitBtn") << "OpenBitBtn" << QRect(280, 16, 73, 33);
        QTest::newRow("OutputEdit") << "OutputEdit" << QRect(8, 72, 265, 21);
        QTest::newRow("SaveBitBtn") << "SaveBitBtn" << QRect(280, 64, 73, 33);
        QTest::newRow("InputFormatRadioGroup") << "InputFormatRadioGroup" << QRect(8, 104, 193, 81);
        QTest::newRow("OutputFormatRadioGroup") << "OutputFormatRadioGroup" << QRect(208, 104, 145, 81);
        QTest::newRow("SRateComboBox") << "SRateComboBox" << QRect(288, 158, 57, 21);
        QTest::newRow("GaugePanel") << "GaugePanel" << QRect(8, 200, 249, 33);
        QTest::newRow("ProgressGauge")
            << "ProgressGauge" << QRect(3, 3, 239, 23); // in the panel's client area
        QTest::newRow("ProcessBitBtn") << "ProcessBitBtn" << QRect(264, 200, 89, 33);
        QTest::newRow("StopBitBtn") << "StopBitBtn" << QRect(264, 200, 89, 33);
        // Labels grow to their text; their place and height are fixed.
        QTest::newRow("InputLabel") << "InputLabel" << QRect(8, 8, 40, 13);
        QTest::newRow("OutputLabel") << "OutputLabel" << QRect(8, 56, 48, 13);
        QTest::newRow("SRStaticText") << "SRStaticText" << QRect(216, 160, 68, 17);
    }
    void controlsSitWhereTheyBelong() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        auto* control = form->findChild<QWidget*>(name);
        QVERIFY(control);
        if (auto* label = qobject_cast<QLabel*>(control)) {
            QCOMPARE(label->pos(), geometry.topLeft());
            QCOMPARE(label->height(), geometry.height());
            QVERIFY(label->width() >= geometry.width());
            QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
        } else {
            QCOMPARE(control->geometry(), geometry);
        }
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            // Glyph, gap and caption inside the button's margins (the style's size hint asks for at least
            // 80 pixels whatever the caption).
            const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
            const int content =
                button->iconSize().width() + 4 + button->fontMetrics().horizontalAdvance(button->text());
            QVERIFY2(content + 2 * margin <= button->width(), "the caption and glyph fit");
        }
        // The rate text must not run into the rate box beside it.
        QVERIFY(Control<QLabel>("SRStaticText")->geometry().right() <
                Control<QComboBox>("SRateComboBox")->x());
    }

    void radioItemsFollowTheLayoutArithmetic() {
        for (int i = 0; i < 3; ++i) {
            QRadioButton* item = OutputFormat()->Item(i);
            QCOMPARE(item->geometry(), QRect(8, 14 + 21 * i, 135, 21));
            QVERIFY2(item->sizeHint().width() <= item->width(), qPrintable(item->text()));
        }
        for (int i = 0; i < 2; ++i) {
            QRadioButton* item = InputFormat()->Item(i);
            QCOMPARE(item->geometry(), QRect(8, 14 + 31 * i, 183, 31));
            QVERIFY2(item->sizeHint().width() <= item->width(), qPrintable(item->text()));
        }
    }

    void blankOutputItemIsReachableByArrowKeysAndUncoveredStrips() {
        OutputFormat()->Item(1)->setFocus();
        QTest::keyClick(OutputFormat()->Item(1), Qt::Key_Down);
        QCOMPARE(OutputFormat()->ItemIndex(), 2);
        QCOMPARE(form->FormatIndex(), 2);

        OutputFormat()->SetItemIndex(0);
        // Between "Sampling rate" and the rate box the third item shows through.
        const QPoint strip(286, 170);
        QWidget* hit = form->childAt(strip);
        QCOMPARE(hit, static_cast<QWidget*>(OutputFormat()->Item(2)));
        QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(form.get(), strip));
        QCOMPARE(form->FormatIndex(), 2);
    }

    void tabVisitsTheControlsInOrder() {
        Edit("InputEdit")->setFocus();
        QStringList visited{FocusName()};
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << FocusName();
        }
        // Process... is disabled and STOP! hidden while idle; each radio group is one stop, its selection.
        const QStringList expected{"InputEdit",
                                   "OutputEdit",
                                   "OpenBitBtn",
                                   "SaveBitBtn",
                                   "InputFormatRadioGroup/Motorola (just demuxed PCM)",
                                   "OutputFormatRadioGroup/24 bit (20 valid bits)",
                                   "SRateComboBox",
                                   "InputEdit"};
        QCOMPARE(visited, expected);
    }

    void defaultsWhenCreated() {
        QVERIFY(Edit("InputEdit")->text().isEmpty());
        QVERIFY(Edit("OutputEdit")->text().isEmpty());
        QCOMPARE(InputFormat()->ItemIndex(), 0);
        QCOMPARE(OutputFormat()->ItemIndex(), 1);
        auto* rate = Control<QComboBox>("SRateComboBox");
        QVERIFY(rate->isEditable());
        QCOMPARE(rate->currentText(), QString("48000"));
        QCOMPARE(rate->itemText(1), QString("96000"));
        QCOMPARE(form->SampleRate(), 48000);
        QVERIFY(!Control<QPushButton>("ProcessBitBtn")->isEnabled());
        QVERIFY(Control<QPushButton>("ProcessBitBtn")->isVisible());
        QVERIFY(!Control<QPushButton>("StopBitBtn")->isVisible());
        QCOMPARE(Control<TGauge>("ProgressGauge")->PercentDone(), 0);
    }

    void processIsEnabledWhenBothNamesAreLeftFilled() {
        auto* process = Control<QPushButton>("ProcessBitBtn");
        Edit("InputEdit")->setFocus();
        QTest::keyClicks(Edit("InputEdit"), "in.raw");
        Edit("OutputEdit")->setFocus();
        QTest::keyClicks(Edit("OutputEdit"), "out.wav");
        QVERIFY2(!process->isEnabled(), "typing alone does not enable Process...");
        Edit("InputEdit")->setFocus();
        QVERIFY(process->isEnabled());
        Edit("InputEdit")->clear();
        Leave(Edit("InputEdit"));
        QVERIFY(!process->isEnabled());
    }

    void openProposesTheOutputName_data() {
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("wave") << "a.b.wav"
                              << "a.b_new.wav";
        QTest::newRow("upper-case wave") << "A.WAV"
                                         << "A_new.wav";
        QTest::newRow("raw") << "take1.raw"
                             << "take1.wav";
        QTest::newRow("dotted folder, no extension") << "my.dir/take1"
                                                     << "my.dir/take1.wav";
    }
    void openProposesTheOutputName() {
        QFETCH(QString, picked);
        QFETCH(QString, proposed);
        const QString path = Touch(picked.toStdString());
        TDialogAnswerer answerer({ChooseFile(path)});
        QTest::mouseClick(Control<QPushButton>("OpenBitBtn"), Qt::LeftButton);
        QCOMPARE(answerer.Seen().value(0).title, QString("Open 20-bit file"));
        QCOMPARE(Edit("InputEdit")->text(), path);
        QCOMPARE(Edit("OutputEdit")->text(), QString::fromStdString(dir->Path(proposed.toStdString())));
        QVERIFY(Control<QPushButton>("ProcessBitBtn")->isEnabled());
    }

    // Each filter of the open dialog lists its own kinds of file, whatever their letters' case; a filter's
    // patterns may be separated by spaces or semicolons.
    void openDialogFiltersListTheirFiles_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("raw") << 1 << QStringList{"a.raw", "b.PCM"};
        QTest::newRow("wave") << 2 << QStringList{"c.wav"};
        QTest::newRow("DVD video") << 3 << QStringList{"VTS_01_1.VOB", "e.mpg", "f.mpeg"};
        QTest::newRow("DVD disc") << 4 << QStringList{"VIDEO_TS.IFO", "g.iso"};
    }
    void openDialogFiltersListTheirFiles() {
        QFETCH(int, filter);
        QFETCH(QStringList, listed);
        for (const char* name :
             {"a.raw", "b.PCM", "c.wav", "VTS_01_1.VOB", "e.mpg", "f.mpeg", "VIDEO_TS.IFO", "g.iso", "h.txt"})
            Touch(name);
        auto* dialog = form->findChild<QFileDialog*>("OpenDialog");
        const QStringList filters = dialog->nameFilters();
        QCOMPARE(filters.mid(0, 2), QStringList({"Raw LPCM file as demuxed (*.raw *.pcm)",
                                                 "WAVE file from SmartRipper (*.wav)"}));
        QCOMPARE(filters.value(2), QString("DVD video (*.vob;*.mpg;*.mpeg;*.aob)"));
        dialog->setDirectory(QString::fromStdString(dir->Root().string()));
        dialog->selectNameFilter(filters.value(filter - 1));
        dialog->show();
        auto* model = dialog->findChild<QFileSystemModel*>();
        const auto shown = [&] {
            QStringList names;
            const QModelIndex folder = model->index(QString::fromStdString(dir->Root().string()));
            for (int row = 0; row < model->rowCount(folder); ++row)
                names << model->index(row, 0, folder).data().toString();
            names.sort();
            return names;
        };
        QTRY_COMPARE(shown(), listed);
        dialog->reject();
    }

    // Only a confirmed open keeps the filter chosen in it; the input-format item follows the kept filter.
    void formatItemFollowsTheFilterOfTheLastConfirmedOpen() {
        const QString wave = Touch("x.wav");
        const QString raw = Touch("x.raw");
        TDialogAnswerer answerer(
            {CancelWithFilter(2), ChooseFile(wave, 2), CancelWithFilter(1), ChooseFile(raw, 1)});
        auto* open = Control<QPushButton>("OpenBitBtn");
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(InputFormat()->ItemIndex(), 0);
        QVERIFY(Edit("InputEdit")->text().isEmpty());
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(InputFormat()->ItemIndex(), 1);
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(InputFormat()->ItemIndex(), 1);
        QCOMPARE(Edit("InputEdit")->text(), wave);
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(InputFormat()->ItemIndex(), 0);
        QVERIFY(answerer.AllAnswered());
        QCOMPARE(answerer.Unexpected(), 0);
    }

    void saveTakesTheConfirmedNameWithItsDefaultExtension() {
        Edit("OutputEdit")->setText(QString::fromStdString(dir->Path("first.wav")));
        TDialogAnswerer answerer(
            {CancelWithFilter(0), ChooseFile(QString::fromStdString(dir->Path("second")))});
        auto* save = Control<QPushButton>("SaveBitBtn");
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(Edit("OutputEdit")->text(), QString::fromStdString(dir->Path("first.wav")));
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(answerer.Seen().value(1).title, QString("Save wave file"));
        QCOMPARE(Edit("OutputEdit")->text(), QString::fromStdString(dir->Path("second.wav")));
        QVERIFY(!Control<QPushButton>("ProcessBitBtn")->isEnabled()); // no input name yet
    }

    // As the platform's dialog does, the save dialog stays open on a name in a missing folder.
    void saveRefusesANameInAMissingFolder() {
        const QString kept = QString::fromStdString(dir->Path("kept.wav"));
        Edit("OutputEdit")->setText(kept);
        const QString missing = QString::fromStdString(dir->Path("no/such/folder/x.wav"));
        bool stillOpen = false;
        TDialogAnswerer answerer({[&](QWidget* dialog) {
                                      dialog->findChild<QLineEdit*>("fileNameEdit")->setText(missing);
                                      // Confirmed from the loop, so that the answerer sees the message.
                                      QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
                                  },
                                  [&](QWidget* message) {
                                      stillOpen =
                                          message->parentWidget() && message->parentWidget()->isVisible();
                                      QTest::keyClick(message, Qt::Key_Return);
                                  },
                                  CancelWithFilter(0)});
        QTest::mouseClick(Control<QPushButton>("SaveBitBtn"), Qt::LeftButton);
        QVERIFY(answerer.AllAnswered());
        QCOMPARE(answerer.Seen().value(1).text, QString(msg::kNoSuchFolder));
        QVERIFY(stillOpen);
        QCOMPARE(answerer.Seen().value(2).title, QString("Save wave file"));
        QCOMPARE(Edit("OutputEdit")->text(), kept);
    }

    // What is typed is read, without completion from the items; after an invalid entry the rate follows the
    // box back to its first item.
    void rateTextIsReadWhenTheBoxIsLeft_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("rate");
        QTest::addColumn<bool>("valid");
        QTest::newRow("decimal") << "44100" << 44100 << true;
        QTest::newRow("hexadecimal") << "$BB80" << 48000 << true;
        QTest::newRow("negative") << "-1" << -1 << true;
        QTest::newRow("prefix of the second item") << "9600" << 9600 << true;
        QTest::newRow("prefix of the first item") << "4800" << 4800 << true;
        QTest::newRow("first digit of an item") << "9" << 9 << true;
        QTest::newRow("letters") << "abc" << 48000 << false;
        QTest::newRow("trailing space") << "48000 " << 48000 << false;
    }
    void rateTextIsReadWhenTheBoxIsLeft() {
        QFETCH(QString, text);
        QFETCH(int, rate);
        QFETCH(bool, valid);
        auto* box = Control<QComboBox>("SRateComboBox");
        box->setCurrentIndex(1);
        box->setEditText("-7");
        Leave(box);
        QCOMPARE(form->SampleRate(), -7);
        TDialogAnswerer answerer(valid ? QList<TDialogAnswerer::TAction>{}
                                       : QList<TDialogAnswerer::TAction>{ClickButton("OK")});
        box->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), text);
        Leave(box);
        QTRY_COMPARE(answerer.Seen().size(), valid ? 0 : 1);
        QCOMPARE(form->SampleRate(), rate);
        QCOMPARE(answerer.Unexpected(), 0);
        if (!valid) {
            QCOMPARE(answerer.Seen().at(0).text, QString(msg::kInvalidRate));
            QCOMPARE(answerer.Seen().at(0).title, QString("Fehler"));
            QCOMPARE(box->currentText(), QString("48000"));
            QCOMPARE(box->currentIndex(), 0);
        }
    }

    void pickingARateItemSetsTheRate() {
        auto* box = Control<QComboBox>("SRateComboBox");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentText(), QString("96000"));
        QCOMPARE(form->SampleRate(), 96000);
    }

    void droppedFileIsTakenAsIfOpened_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<int>("item");
        QTest::newRow("wave") << "rip.WAV"
                              << "rip_new.wav" << 1;
        QTest::newRow("raw") << "demux.pcm"
                             << "demux.wav" << 0;
    }
    void droppedFileIsTakenAsIfOpened() {
        QFETCH(QString, name);
        QFETCH(QString, proposed);
        QFETCH(int, item);
        InputFormat()->SetItemIndex(1 - item);
        const QString path = Touch(name.toStdString());
        QVERIFY(DropFile(form.get(), path));
        QCOMPARE(Edit("InputEdit")->text(), path);
        QCOMPARE(Edit("OutputEdit")->text(), QString::fromStdString(dir->Path(proposed.toStdString())));
        QCOMPARE(InputFormat()->ItemIndex(), item);
        QVERIFY(Control<QPushButton>("ProcessBitBtn")->isEnabled());
    }

    // Enter pressed while the open dialog's completion list shows must leave the window's focus handling
    // as it was: leaving the rate box reads it, leaving an emptied name disables Process....
    void focusHandlersRunAfterANameConfirmedFromTheCompletionList() {
        const QString small = Touch("small.raw");
        TDialogAnswerer answerer({[&](QWidget* dialog) {
            static_cast<QFileDialog*>(dialog)->setDirectory(QString::fromStdString(dir->Root().string()));
            auto* nameBox = dialog->findChild<QLineEdit*>("fileNameEdit");
            nameBox->setFocus();
            QTest::keyClicks(nameBox, "small.r");
            // The folder is read in the background: the list comes with the first key after that.
            QTRY_VERIFY((QTest::keyClick(nameBox, Qt::Key_Backspace), QTest::keyClick(nameBox, 'r'),
                         QApplication::activePopupWidget() != nullptr));
            // Keys now reach the list first, as on a display.
            QWindow* list = QApplication::activePopupWidget()->windowHandle();
            QTest::keyClick(list, Qt::Key_A);
            QTest::keyClick(list, Qt::Key_W);
            QTest::keyClick(list, Qt::Key_Return);
        }});
        QTest::mouseClick(Control<QPushButton>("OpenBitBtn"), Qt::LeftButton);
        QVERIFY(answerer.AllAnswered());
        QCOMPARE(Edit("InputEdit")->text(), small);
        QVERIFY(!QApplication::activePopupWidget());
        // A window manager activates the window again; the offscreen platform must be told.
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));

        auto* box = Control<QComboBox>("SRateComboBox");
        box->setEditText("22050");
        Leave(box);
        QCOMPARE(form->SampleRate(), 22050);
        Edit("OutputEdit")->clear();
        Leave(Edit("OutputEdit"));
        QVERIFY(!Control<QPushButton>("ProcessBitBtn")->isEnabled());
    }

    // The real program without a display, or with one that is gone, says in one line what to do and ends
    // with status 1 instead of aborting.
    void noDisplayGivesOneLineAndStatusOne() {
        for (const char* display : {"", ":4711"}) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"})
                environment.remove(name);
            if (*display)
                environment.insert("DISPLAY", display);
            QProcess oxlip;
            oxlip.setProcessEnvironment(environment);
            oxlip.start(OXLIP_PATH, {});
            QVERIFY(oxlip.waitForFinished(30000));
            QCOMPARE(oxlip.exitStatus(), QProcess::NormalExit);
            QCOMPARE(oxlip.exitCode(), 1);
            QCOMPARE(QString::fromLocal8Bit(oxlip.readAllStandardError()), QString(msg::kNoDisplay) + "\n");
        }
    }

    void escapeDoesNothingWhileIdle() {
        TDialogAnswerer answerer;
        QTest::keyClick(form.get(), Qt::Key_Escape);
        QCoreApplication::processEvents();
        QVERIFY(answerer.Seen().isEmpty());
        QVERIFY(form->isVisible());
        QVERIFY(!Control<QPushButton>("StopBitBtn")->isVisible());
    }
};

OXLIP_WINDOW_TEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
