// DVD inputs in the window: program streams (.VOB) and discs taken by drop, converted by Process... to the
// same bytes as the headless converter, and stopped like any other run.
#include "AudioDiscWriter.h"
#include "CliProcess.h"
#include "DiscFixtures.h"
#include "InputNames.h"
#include "MainForm.h"
#include "MessageDialogs.h"
#include "OxlipApplication.h"
#include "RadioGroup.h"
#include "TestFiles.h"
#include "WindowTestSupport.h"
#include "texts/Messages.h"
#include "texts/WindowTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTreeWidget>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <memory>

Q_DECLARE_METATYPE(std::string)

namespace fs = std::filesystem;

// Whether the disc dialog shows its side's label.
bool SideShown(QWidget* dialog) {
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        if (label->isVisible() && label->text() == QString::fromUtf8(window_text::kSide))
            return true;
    return false;
}

class MainFormDvdTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainForm> form;
    std::unique_ptr<TempDir> dir;
    std::string vob;

    QPushButton* Button(const char* name) { return form->findChild<QPushButton*>(name); }
    QLineEdit* Edit(const char* name) { return form->findChild<QLineEdit*>(name); }
    TRadioGroup* InputFormat() { return form->findChild<TRadioGroup*>("InputFormatRadioGroup"); }
    TRadioGroup* OutputFormat() { return form->findChild<TRadioGroup*>("OutputFormatRadioGroup"); }
    std::string OutputName() { return QFile::encodeName(Edit("OutputEdit")->text()).toStdString(); }
    // What oxlip-convert writes for `input`, with the window's default of 24 bits.
    Bytes ConvertedHeadless(const std::string& input) {
        const std::string reference = dir->Path("reference.wav");
        fs::remove(reference);
        CliRun run;
        run.args = {"-q", "-y", "-o", reference, input};
        const CliOutcome outcome = RunCli(run);
        if (outcome.exitStatus != 0)
            qWarning("oxlip-convert: %s", outcome.err.c_str());
        return ReadFile(reference);
    }
    void Process() {
        QVERIFY(Button("ProcessBitBtn")->isEnabled());
        QTest::mouseClick(Button("ProcessBitBtn"), Qt::LeftButton);
        QVERIFY(Button("ProcessBitBtn")->isVisible() && !Button("StopBitBtn")->isVisible());
    }

private slots:
    void initTestCase() {
        dir = std::make_unique<TempDir>();
        // Long enough that a run processes events several times: events are handled every 1,024 packets.
        vob = dir->Path("movie.VOB");
        const std::string make = "ffmpeg -nostdin -v error -f lavfi -i sine=duration=30 -f lavfi -i "
                                 "testsrc=duration=30:size=160x120:rate=25 -ac 2 -ar 48000 -c:a pcm_dvd "
                                 "-sample_fmt s32 -c:v mpeg2video -f dvd '" +
                                 vob + "'";
        QCOMPARE(std::system(make.c_str()), 0);
    }
    void init() {
        form = std::make_unique<TMainForm>();
        form->EventPump().SetInterval(std::chrono::nanoseconds(0));
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    void cleanup() { form.reset(); }
    void cleanupTestCase() { dir.reset(); }

    // Dropped, a program stream proposes the usual output name and leaves the input-format items, which
    // describe raw and WAVE files only; Process... converts its first LPCM track.
    void droppedProgramStreamConvertsLikeTheHeadlessConverter() {
        InputFormat()->SetItemIndex(1);
        QVERIFY(DropFile(form.get(), QString::fromStdString(vob)));
        QCOMPARE(OutputName(), dir->Path("movie.wav"));
        QCOMPARE(InputFormat()->ItemIndex(), 1);
        TDialogAnswerer answerer;
        Process();
        QCOMPARE(answerer.Unexpected(), 0);
        QVERIFY(ReadFile(OutputName()).size() > 46);
        QVERIFY(ReadFile(OutputName()) == ConvertedHeadless(vob));
        QVERIFY(DecodeWithFfmpeg("-i '" + OutputName() + "'") ==
                DecodeWithFfmpeg("-i '" + vob + "' -map 0:a:0"));
        QCOMPARE(form->findChild<TGauge*>("ProgressGauge")->PercentDone(), 100);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void stopWithAbortOnAProgramStreamDeletesTheOutput() {
        QVERIFY(DropFile(form.get(), QString::fromStdString(vob)));
        fs::remove(OutputName());
        bool busyWhileStopping = false;
        TDialogAnswerer answerer({ClickButton("&Abbrechen")});
        TWhenConverting stop(Button("StopBitBtn"), [&] {
            busyWhileStopping = !Edit("InputEdit")->isEnabled() && QGuiApplication::overrideCursor();
            Button("StopBitBtn")->click();
        });
        Process();
        QVERIFY(answerer.AllAnswered());
        QCOMPARE(answerer.Seen().value(0).objectName, QString("StopDialog"));
        QVERIFY(busyWhileStopping);
        QVERIFY(!Exists(OutputName()));
    }

    // A disc given as its folder, its VIDEO_TS.IFO or its image proposes the disc's own name beside it and
    // converts its longest title.
    void droppedDiscProposesItsNameAndConvertsLikeTheHeadlessConverter_data() {
        QTest::addColumn<std::string>("given");
        QTest::addColumn<std::string>("proposed");
        const TDiscFixtures& discs = DiscFixtures();
        if (!discs.missing.empty())
            QSKIP(qPrintable(QString::fromStdString(discs.missing) + " is not installed"));
        const fs::path folder(discs.discFolder), image(discs.image);
        const fs::path proposal = folder.parent_path() / (std::string(kFolderLabel) + "-t01.wav");
        QTest::newRow("folder") << folder.string() << proposal.string();
        QTest::newRow("IFO file") << (folder / "VIDEO_TS" / "VIDEO_TS.IFO").string() << proposal.string();
        QTest::newRow("image") << image.string()
                               << (image.parent_path() / (std::string(kImageLabel) + "-t01.wav")).string();
    }
    void droppedDiscProposesItsNameAndConvertsLikeTheHeadlessConverter() {
        QFETCH(std::string, given);
        QFETCH(std::string, proposed);
        InputFormat()->SetItemIndex(1);
        TDialogAnswerer chooseTheLongestTitle({PressKey(Qt::Key_Return)});
        QVERIFY(DropFile(form.get(), QString::fromStdString(given)));
        QVERIFY(chooseTheLongestTitle.AllAnswered());
        QCOMPARE(chooseTheLongestTitle.Seen().value(0).title, QString("Titles and chapters"));
        QCOMPARE(OutputName(), proposed);
        QCOMPARE(InputFormat()->ItemIndex(), 1);
        TDialogAnswerer answerer;
        Process();
        QCOMPARE(answerer.Unexpected(), 0);
        const Bytes written = ReadFile(proposed);
        fs::remove(proposed);
        QVERIFY(written.size() > 46);
        QVERIFY(written == ConvertedHeadless(given));
    }

    // What the disc dialog chooses is what oxlip-convert writes for the same --title, --track and
    // --chapters: the dialog is driven by keys (Down on the title list, Tab to the streams, Alt+C), the
    // chapter range set in its fields.
    void discDialogChoicesConvertLikeTheHeadlessConverter_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("firstChapter");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("outputs");
        if (!DiscFixtures().missing.empty())
            QSKIP(qPrintable(QString::fromStdString(DiscFixtures().missing) + " is not installed"));
        QTest::newRow("title 2, its only LPCM stream")
            << QList<int>{Qt::Key_Down} << 0 << QStringList{"--title", "2"}
            << QStringList{"MUSICDISC-t02.wav"};
        QTest::newRow("title 1, stream 2, chapters 2 to 3")
            << QList<int>{Qt::Key_Tab, Qt::Key_Down, (Qt::ALT | Qt::Key_C).toCombined()} << 2
            << QStringList{"--title", "1", "--track", "2", "--chapters", "2-3"}
            << QStringList{"MUSICDISC-t01-c02.wav", "MUSICDISC-t01-c03.wav"};
    }
    void discDialogChoicesConvertLikeTheHeadlessConverter() {
        QFETCH(QList<int>, keys);
        QFETCH(int, firstChapter);
        QFETCH(QStringList, options);
        QFETCH(QStringList, outputs);
        const fs::path disc(DiscFixtures().discFolder);
        bool focused = false;
        TDialogAnswerer choose({[&](QWidget* dialog) {
            focused = QTest::qWaitForWindowActive(dialog) && dialog->focusWidget() &&
                      dialog->focusWidget()->objectName() == "TitleList";
            for (int key : keys)
                QTest::keyClick(dialog->windowHandle(), static_cast<Qt::Key>(key & ~Qt::KeyboardModifierMask),
                                Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
            // Alt+C clicks the box as a mnemonic does: pressed now, released (and toggled) a moment later.
            const auto* box = dialog->findChild<QCheckBox*>("ChaptersCheckBox");
            if (!QTest::qWaitFor([&] { return box->isChecked() == (outputs.size() > 1); }))
                qWarning("the chapters box is not as the keys left it");
            if (firstChapter > 0)
                dialog->findChild<QSpinBox*>("FirstChapterSpin")->setValue(firstChapter);
            QTest::keyClick(dialog, Qt::Key_Return);
        }});
        QVERIFY(DropFile(form.get(), QString::fromStdString(disc.string())));
        QVERIFY(choose.AllAnswered());
        QVERIFY(focused);
        // The header takes the stream's rate: the box shows it and cannot be changed.
        const auto* rateBox = form->findChild<QComboBox*>("SRateComboBox");
        QCOMPARE(rateBox->currentText(), QString(outputs.size() > 1 ? "48000" : "96000"));
        QVERIFY(!rateBox->isEnabled());
        const bool chapters = outputs.size() > 1;
        const fs::path beside = disc.parent_path();
        QCOMPARE(OutputName(), chapters ? beside.string() : (beside / outputs.at(0).toStdString()).string());
        // The caption names each file as it is being written, and is the window's own again after the run.
        QStringList captions;
        connect(form.get(), &QWidget::windowTitleChanged, this,
                [&](const QString& caption) { captions << caption; });
        Process();
        QStringList expected;
        for (const QString& output : outputs)
            expected << QString::fromUtf8("Oxlip \u2013 ") + output;
        QCOMPARE(captions, expected << "Oxlip");

        const std::string reference = dir->Path("reference");
        fs::remove_all(reference);
        fs::create_directory(reference);
        CliRun run;
        run.args = {"-q", "-y"};
        for (const QString& option : options)
            run.args.push_back(option.toStdString());
        run.args.insert(
            run.args.end(),
            {"-o", chapters ? reference : reference + "/" + outputs.at(0).toStdString(), disc.string()});
        QCOMPARE(RunCli(run).exitStatus, 0);
        for (const QString& output : outputs) {
            const Bytes written = ReadFile((beside / output.toStdString()).string());
            fs::remove(beside / output.toStdString());
            QVERIFY(written.size() > 46);
            QVERIFY(written == ReadFile(reference + "/" + output.toStdString()));
        }
    }

    // Cancel takes nothing; a title set's IFO offers that title set's title first.
    void discDialogCancelKeepsTheNamesAndATitleSetsIfoSelectsItsTitle() {
        if (!DiscFixtures().missing.empty())
            QSKIP("no disc fixtures");
        Edit("InputEdit")->setText("before.raw");
        Edit("OutputEdit")->setText("before.wav");
        QString selected;
        TDialogAnswerer cancel({[&](QWidget* dialog) {
            selected = dialog->findChild<QTreeWidget*>("TitleList")->currentItem()->text(0);
            QTest::keyClick(dialog, Qt::Key_Escape);
        }});
        const fs::path ifo = fs::path(DiscFixtures().discFolder) / "VIDEO_TS" / "VTS_02_0.IFO";
        QVERIFY(DropFile(form.get(), QString::fromStdString(ifo.string())));
        QVERIFY(cancel.AllAnswered());
        QCOMPARE(selected, QString("2"));
        QCOMPARE(Edit("InputEdit")->text(), QString("before.raw"));
        QCOMPARE(Edit("OutputEdit")->text(), QString("before.wav"));
    }

    // A title that cannot be read is shown with the reason and cannot be chosen; the dialog offers the
    // others.
    void discDialogShowsAnUnreadableTitleAsNotToBeChosen() {
        if (!DiscFixtures().missing.empty())
            QSKIP("no disc fixtures");
        const fs::path disc = fs::path(dir->Path("NO_VOB"));
        fs::copy(DiscFixtures().discFolder, disc, fs::copy_options::recursive);
        fs::remove(disc / "VIDEO_TS" / "VTS_02_1.VOB");
        QString selected, length;
        bool enabled = true;
        TDialogAnswerer look({[&](QWidget* dialog) {
            auto* titles = dialog->findChild<QTreeWidget*>("TitleList");
            selected = titles->currentItem()->text(0);
            length = titles->topLevelItem(1)->text(1);
            enabled = titles->topLevelItem(1)->flags() & Qt::ItemIsEnabled;
            QTest::keyClick(dialog, Qt::Key_Escape);
        }});
        QVERIFY(DropFile(form.get(), QString::fromStdString(disc.string())));
        QVERIFY(look.AllAnswered());
        QCOMPARE(selected, QString("1"));
        QCOMPARE(length, QString("unreadable (VTS_02_1.VOB is missing)"));
        QVERIFY(!enabled);
    }

    // After a run the window shows its notes once, in one information box; the disc's choice, its own
    // resolution and the input-format items that do not apply show in the window.
    void notesAndTheChoiceShowInTheWindow() {
        const std::string damaged = dir->Path("damaged.vob");
        Bytes bytes = ReadFile(vob);
        bytes.insert(bytes.begin() + 2048 * 40, 1000, 0xFF);
        WriteFile(damaged, bytes);
        QVERIFY(DropFile(form.get(), QString::fromStdString(damaged)));
        // Leaving the input's edit, as a click on Process... does, keeps what was found of the input.
        form->InputEditExit();
        QVERIFY(!InputFormat()->isEnabled());
        QCOMPARE(OutputFormat()->Item(1)->text(), QString("24 bit (source)"));
        {
            TDialogAnswerer answerer({ClickButton("OK")});
            Process();
            QVERIFY(answerer.AllAnswered());
            QCOMPARE(answerer.Seen().value(0).objectName, QString("InformationDialog"));
            QVERIFY(answerer.Seen().value(0).text.contains("damaged"));
            QVERIFY(!InputFormat()->isEnabled());
        }

        if (!DiscFixtures().missing.empty())
            QSKIP("no disc fixtures");
        bool packingOffered = true, sideShown = true;
        TDialogAnswerer choose({[&](QWidget* dialog) {
            // Stereo has one packing: nothing to choose.
            packingOffered = dialog->findChild<QComboBox*>("PackingCombo")->isEnabled();
            // A disc of one side shows nothing of a side.
            sideShown = SideShown(dialog);
            dialog->findChild<QCheckBox*>("ChaptersCheckBox")->setChecked(true);
            dialog->findChild<QSpinBox*>("FirstChapterSpin")->setValue(2);
            QTest::keyClick(dialog, Qt::Key_Return);
        }});
        QVERIFY(DropFile(form.get(), QString::fromStdString(DiscFixtures().discFolder)));
        QVERIFY(choose.AllAnswered());
        QVERIFY(!packingOffered);
        QVERIFY(!sideShown);
        QCOMPARE(form->findChild<QLabel*>("ChoiceLabel")->text(),
                 QString::fromUtf8("Title 1, audio 1, chapters 2\u20133, WAVE"));
        QCOMPARE(OutputFormat()->Item(1)->text(), QString("16 bit (source)"));
        Edit("InputEdit")->setText("other.raw");
        form->InputEditExit();
        QVERIFY(form->findChild<QLabel*>("ChoiceLabel")->text().isEmpty());
        QVERIFY(InputFormat()->isEnabled());
        QCOMPARE(OutputFormat()->Item(1)->text(), QString("24 bit (20 valid bits)"));
    }

    // A hybrid disc opens on its audio side and offers its video side, which converts as --video-side does.
    void hybridDiscOffersItsVideoSide() {
        if (!DiscFixtures().missing.empty())
            QSKIP("no disc fixtures");
        const fs::path hybrid = dir->Path("BOTH");
        dvda::TAuthoredTitle song;
        song.pcmTracks = {dvda::Tones(song.layout, 9600, 440)};
        dvda::TAuthoredDisc authored;
        authored.titles = {song};
        dvda::WriteAudioDisc((hybrid / "AUDIO_TS").string(), authored);
        fs::copy(fs::path(DiscFixtures().discFolder) / "VIDEO_TS", hybrid / "VIDEO_TS",
                 fs::copy_options::recursive);
        int audioTitles = 0, videoTitles = 0;
        bool sideShown = false;
        TDialogAnswerer choose({[&](QWidget* dialog) {
            sideShown = SideShown(dialog);
            auto* titles = dialog->findChild<QTreeWidget*>("TitleList");
            audioTitles = titles->topLevelItemCount();
            dialog->findChild<QComboBox*>("SideCombo")->setCurrentIndex(1);
            videoTitles = titles->topLevelItemCount();
            QTest::keyClick(dialog, Qt::Key_Return);
        }});
        QVERIFY(DropFile(form.get(), QString::fromStdString(hybrid.string())));
        QVERIFY(choose.AllAnswered());
        QVERIFY(sideShown);
        QCOMPARE(audioTitles, 1);
        QCOMPARE(videoTitles, 2);
        Process();
        const std::string reference = dir->Path("video-side.wav");
        CliRun run;
        run.args = {"-q", "-y", "--video-side", "-o", reference, hybrid.string()};
        QCOMPARE(RunCli(run).exitStatus, 0);
        QVERIFY(ReadFile(OutputName()).size() > 46);
        QVERIFY(ReadFile(OutputName()) == ReadFile(reference));
    }

    // A program stream of two LPCM tracks asks which; the second converts as --track 2 does.
    void streamOfTwoTracksAsksWhichOne() {
        const std::string two = dir->Path("two.vob");
        const std::string make =
            "ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=2 -f lavfi -i "
            "sine=frequency=660:duration=2 -map 0 -map 1 -ac 2 -ar 48000 -c:a pcm_dvd "
            "-f dvd '" +
            two + "'";
        QCOMPARE(std::system(make.c_str()), 0);
        QString caption;
        int rows = 0;
        TDialogAnswerer second({[&](QWidget* dialog) {
            caption = dialog->windowTitle();
            rows = dialog->findChild<QListWidget*>("TrackList")->count();
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Down);
            QTest::keyClick(dialog, Qt::Key_Return);
        }});
        QVERIFY(DropFile(form.get(), QString::fromStdString(two)));
        QCOMPARE(caption, QString("Audio tracks"));
        QCOMPARE(rows, 2);
        Process();
        const std::string reference = dir->Path("second.wav");
        CliRun run;
        run.args = {"-q", "-y", "--track", "2", "-o", reference, two};
        QCOMPARE(RunCli(run).exitStatus, 0);
        QVERIFY(ReadFile(OutputName()) == ReadFile(reference));
    }

    // Outputs are proposed where the user can write: beside the input, else in the music folder or home
    // (a VOB or disc on a mounted, read-only disc; a folder of /proc stands in for one).
    void outputsAreProposedWhereTheUserCanWrite() {
        // The user's music folder, as the desktop names it (XDG_MUSIC_DIR in user-dirs.dirs).
        const QString config = QString::fromStdString(dir->Path("config"));
        const QString music = QString::fromStdString(dir->Path("Musik"));
        QVERIFY(QDir().mkpath(config));
        QFile dirs(config + "/user-dirs.dirs");
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write(("XDG_MUSIC_DIR=\"" + music + "\"\n").toUtf8());
        dirs.close();
        const QByteArray configBefore = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] {
            configBefore.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", configBefore);
        });
        qputenv("XDG_CONFIG_HOME", config.toUtf8());

        const QString writable = QString::fromStdString(dir->Path("movie.wav"));
        QCOMPARE(InWritableFolder(writable), writable);
        const QString readOnly = "/proc/self/movie.wav";
        QCOMPARE(InWritableFolder(readOnly), QDir::homePath() + "/movie.wav"); // no music folder yet
        QVERIFY(QDir().mkpath(music));
        QCOMPARE(InWritableFolder(readOnly), music + "/movie.wav");
        QCOMPARE(WritableFolder("/proc/self"), music);
    }

    // A folder that holds no disc is no input, as it is for oxlip-convert.
    void folderWithoutADiscIsRefusedInTheProgramsWords() {
        const std::string folder = dir->Path("Music");
        fs::create_directory(folder);
        QVERIFY(DropFile(form.get(), QString::fromStdString(folder)));
        TDialogAnswerer answerer({ClickButton("OK")});
        Process();
        QCOMPARE(answerer.Seen().value(0).text, DialogText(msg::kNoInput));
        QVERIFY(!Exists(OutputName()));
    }
};

OXLIP_WINDOW_TEST_MAIN(MainFormDvdTest)
#include "MainFormDvdTest.moc"
