// The window's controls, their places and defaults.
#include "MainForm.h"

#include "AppIcon.h"
#include "FileDialog.h"
#include "GaugePanel.h"
#include "Glyphs.h"
#include "RadioGroup.h"
#include "WindowFont.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>

namespace {

constexpr int kClientWidth = 361;
constexpr int kClientHeight = 241;
constexpr int kGaugeTextPixels = 13;

template <typename Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(name);
    control->setGeometry(left, top, width, height);
    return control;
}

// A label grows to its text, as an auto-sized label does, so that a substitute font does not clip it.
QLabel* PlaceLabel(QLabel* label, const char* name, int left, int top, int width, int height) {
    Place(label, name, left, top, width, height);
    label->resize(std::max(width, label->fontMetrics().horizontalAdvance(label->text())), height);
    return label;
}

QPushButton* MakeBitButton(const QString& caption, const QIcon& glyph, int glyphSide, QWidget* parent) {
    auto* button = new QPushButton(glyph, caption, parent);
    button->setIconSize(QSize(glyphSide, glyphSide));
    return button;
}

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName("MainForm");
    setWindowTitle(kWindowCaption);
    // Fixed in size: the frame offers the system menu, minimising and closing, but no maximising.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(AppIcon());
    setFont(ChooseWindowFont());
    setFixedSize(kClientWidth, kClientHeight);
    setAcceptDrops(true);
    CreateControls();
    CreateDialogs();
    SetTabOrder();
    CentreOnScreen();
    FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::CreateControls() {
    InputLabel = PlaceLabel(new QLabel("Input file", this), "InputLabel", 8, 8, 40, 13);
    InputEdit = Place(new QLineEdit(this), "InputEdit", 8, 24, 265, 21);
    OpenBitBtn = Place(MakeBitButton("Open...", OpenGlyph(), 16, this), "OpenBitBtn", 280, 16, 73, 33);
    OutputLabel = PlaceLabel(new QLabel("Output file", this), "OutputLabel", 8, 56, 48, 13);
    OutputEdit = Place(new QLineEdit(this), "OutputEdit", 8, 72, 265, 21);
    // What of a disc or program stream is converted, beside the output's label above its name.
    ChoiceLabel = Place(new QLabel(this), "ChoiceLabel", 64, 56, 209, 13);
    ChoiceLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SaveBitBtn = Place(MakeBitButton("Save...", SaveGlyph(), 16, this), "SaveBitBtn", 280, 64, 73, 33);

    InputFormatRadioGroup =
        Place(new TRadioGroup(" Input format ",
                              {"Motorola (just demuxed PCM)", "intel (WAV; swapped by ripper)"}, this),
              "InputFormatRadioGroup", 8, 104, 193, 81);
    InputFormatRadioGroup->SetItemIndex(0);
    OutputFormatRadioGroup = Place(
        new TRadioGroup(" Output format ", {"16 bit - reduced res.", "24 bit (20 valid bits)", " "}, this),
        "OutputFormatRadioGroup", 208, 104, 145, 81);
    OutputFormatRadioGroup->SetItemIndex(1);
    formatIndex_ = OutputFormatRadioGroup->ItemIndex();
    connect(OutputFormatRadioGroup, &TRadioGroup::ItemIndexChanged, this,
            [this](int index) { formatIndex_ = index; });

    // Stacked above the output group's blank third item, which lies under them.
    SRStaticText = PlaceLabel(new QLabel("Sampling rate", this), "SRStaticText", 216, 160, 68, 17);
    SRStaticText->setAutoFillBackground(true);
    SRateComboBox = Place(new QComboBox(this), "SRateComboBox", 288, 158, 57, 21);
    SRateComboBox->setEditable(true);
    SRateComboBox->setInsertPolicy(QComboBox::NoInsert);
    SRateComboBox->addItems({"48000", "96000"});
    SRateComboBox->setCurrentIndex(0);
    // What the user types is what is read: no completion from the items ("9600" stays 9600).
    SRateComboBox->setCompleter(nullptr);
    connect(SRateComboBox, &QComboBox::activated, this, &TMainForm::SRateComboBoxClick);

    GaugePanel = Place(new TGaugePanel(this), "GaugePanel", 8, 200, 249, 33);
    ProgressGauge = Place(new TGauge(GaugePanel->Client()), "ProgressGauge", 3, 3, 239, 23);
    QFont gaugeFont = font();
    gaugeFont.setPixelSize(kGaugeTextPixels);
    gaugeFont.setBold(true);
    ProgressGauge->setFont(gaugeFont);

    ProcessBitBtn =
        Place(MakeBitButton("Process...", ProcessGlyph(), 16, this), "ProcessBitBtn", 264, 200, 89, 33);
    ProcessBitBtn->setEnabled(false);
    StopBitBtn = Place(MakeBitButton("STOP!", StopGlyph(), 18, this), "StopBitBtn", 264, 200, 89, 33);
    QFont stopFont = font();
    stopFont.setBold(true);
    StopBitBtn->setFont(stopFont);
    StopBitBtn->hide();
    // STOP! is the window's cancel button.
    EscapeShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    EscapeShortcut->setEnabled(false);
    connect(EscapeShortcut, &QShortcut::activated, this, [this] {
        if (StopBitBtn->isVisible() && StopBitBtn->isEnabled())
            StopBitBtn->click();
    });

    connect(OpenBitBtn, &QPushButton::clicked, this, &TMainForm::OpenBitBtnClick);
    connect(SaveBitBtn, &QPushButton::clicked, this, &TMainForm::SaveBitBtnClick);
    connect(ProcessBitBtn, &QPushButton::clicked, this, &TMainForm::ProcessBitBtnClick);
    connect(StopBitBtn, &QPushButton::clicked, this, &TMainForm::StopBitBtnClick);
    for (QWidget* watched : {static_cast<QWidget*>(InputEdit), static_cast<QWidget*>(OutputEdit),
                             static_cast<QWidget*>(SRateComboBox)})
        watched->installEventFilter(this);
}

void TMainForm::CreateDialogs() {
    OpenDialog = new TFileDialog(this, "Open 20-bit file", QDir::currentPath());
    OpenDialog->setObjectName("OpenDialog");
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setNameFilters({"Raw LPCM file as demuxed (*.raw *.pcm)",
                                "WAVE file from SmartRipper (*.wav)", "DVD video (*.vob;*.mpg;*.mpeg;*.aob)",
                                "DVD disc (*.ifo;*.iso)",
                                "All supported (*.raw;*.pcm;*.wav;*.vob;*.mpg;*.mpeg;*.aob;*.ifo;*.iso)"});
    // The dialog opens 20-bit files under the raw filter only; under the others it just opens.
    connect(OpenDialog, &QFileDialog::filterSelected, this, [this](const QString& filter) {
        OpenDialog->setWindowTitle(filter == OpenDialog->nameFilters().value(0) ? "Open 20-bit file"
                                                                                : "Open");
    });

    SaveDialog = new TFileDialog(this, "Save wave file", QDir::currentPath());
    SaveDialog->setObjectName("SaveDialog");
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const TOutputFormatRow* format : OutputFormats())
        filters << QString::fromUtf8(format->filter);
    SaveDialog->setNameFilters(filters);
    SaveDialog->setDefaultSuffix(QString::fromUtf8(DefaultOutputFormat().extension + 1));
    // The name typed without an extension gets the chosen filter's.
    connect(SaveDialog, &QFileDialog::filterSelected, this, [this](const QString& filter) {
        for (const TOutputFormatRow* format : OutputFormats())
            if (filter == QString::fromUtf8(format->filter))
                SaveDialog->setDefaultSuffix(QString::fromUtf8(format->extension + 1));
    });
}

// Only the selected item of a radio group is a tab stop, so each group is visited once.
void TMainForm::SetTabOrder() {
    QList<QWidget*> chain = {InputEdit, OutputEdit, OpenBitBtn, SaveBitBtn};
    for (int i = 0; i < InputFormatRadioGroup->Count(); ++i)
        chain << InputFormatRadioGroup->Item(i);
    chain << ProcessBitBtn;
    for (int i = 0; i < OutputFormatRadioGroup->Count(); ++i)
        chain << OutputFormatRadioGroup->Item(i);
    chain << SRateComboBox << StopBitBtn;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

// The window is centred as a whole, frame included: move() places the frame's top-left corner.
void TMainForm::CentreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame(QPoint(), frameGeometry().size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
    centredFrame_ = frame.size();
}

// A window manager adds its frame only after the window is shown; when it arrives, the window is centred
// again with it. Moving the window later leaves the frame's size alone, so the user's place is kept.
bool TMainForm::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if ((event->type() == QEvent::Move || event->type() == QEvent::Show) && isVisible() &&
        frameGeometry().size() != centredFrame_)
        CentreOnScreen();
    return handled;
}

void TMainForm::FormCreate() {
    SampleRate_ = 48000;
}
