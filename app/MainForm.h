#pragma once

#include "DiscDialog.h"
#include "EventPump.h"
#include "Gauge.h"
#include "run/InputKind.h"
#include "run/RunHost.h"

#include <QWidget>
#include <cstdint>
#include <optional>

inline const QString kWindowCaption = QStringLiteral("Oxlip");

class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QShortcut;
class TRunControl;
class TGaugePanel;
class TRadioGroup;

// The program's only window. It holds the file names, the format and rate choices, Process... and STOP!
// and the progress gauge, and it hosts the conversion run: the run reaches the window only through the
// TRunHost operations below. Controls carry their names as object names.
class TMainForm final : public QWidget, public TRunHost {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Event handlers.
    void FormCreate();
    void OpenBitBtnClick();
    void SaveBitBtnClick();
    void InputEditExit();
    void OutputEditExit();
    void SRateComboBoxClick();
    void SRateComboBoxExit();
    void ProcessBitBtnClick();
    void StopBitBtnClick();

    // Enables or disables the controls that could change a run, in their fixed order.
    void EnableControls(bool enable);

    // A file or a disc folder named on the command line or dropped on the window: taken as if picked in
    // the open dialog, with the input-format item following a raw or WAVE file's extension. A disc (its
    // folder, an IFO file or an image) gets the disc's own output name proposed.
    void TakeFile(const QString& name);
    // Closes the window for a signal to end the program. An open dialog is dismissed; idle, the window
    // closes at once; during a run, the run is aborted (its output deleted, the input closed) and the
    // window closes when the run has ended.
    void CloseAbortingRun();

    bool RunActive() const { return run_ != nullptr; }
    // The pump that keeps the window live during a run; tests shorten its interval.
    TEventPump& EventPump() { return pump_; }

    // The output-format item (0 is 16 bits) and the rate, as a run takes them.
    int FormatIndex() const { return formatIndex_; }
    int32_t SampleRate() const { return SampleRate_; }

    // TRunHost
    void ShowError(const std::string& message) override;
    bool Confirm(const std::string& message) override;
    bool AcceptFallbackTo16(const std::string& message) override;
    TStopAnswer AskStop(const std::string& message) override;
    void SetGaugeMinimum(int64_t minimum) override { ProgressGauge->SetMinValue(minimum); }
    void SetGaugeMaximum(int64_t maximum) override { ProgressGauge->SetMaxValue(maximum); }
    void SetGaugeProgress(int64_t progress) override { ProgressGauge->SetProgress(progress); }
    void SetBusy(bool busy) override;
    void ShowStopButton(bool shown) override;
    void ProcessPendingEvents() override { pump_.Pump(); }
    void OutputStarted(const std::string& name) override;
    void ShowNote(const std::string& message) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateDialogs();
    void SetTabOrder();
    void CentreOnScreen();
    void ApplyEnablingRule();
    bool TakeInputName(const QString& name, const TInputKindRow*& kind);
    std::string InputName() const;
    std::string OutputName() const;
    bool ChooseOfDisc(const QString& name, const TInputKindRow& kind, QString& output, int& rate);
    bool ChooseTrack(const QString& name, int& rate);
    void ShowStreamRate(int rate);
    void ShowInputChoice();
    void ShowRunNotes();
    bool WritesChapterFiles() const;
    void ExecuteRun();
    void ShowInvalidRate();

    QLabel* InputLabel;
    QLineEdit* InputEdit;
    QPushButton* OpenBitBtn;
    QLabel* OutputLabel;
    QLabel* ChoiceLabel;
    QLineEdit* OutputEdit;
    QPushButton* SaveBitBtn;
    TRadioGroup* InputFormatRadioGroup;
    TRadioGroup* OutputFormatRadioGroup;
    QLabel* SRStaticText;
    QComboBox* SRateComboBox;
    TGaugePanel* GaugePanel;
    TGauge* ProgressGauge;
    QPushButton* ProcessBitBtn;
    QPushButton* StopBitBtn;
    QShortcut* EscapeShortcut;
    QFileDialog* OpenDialog;
    QFileDialog* SaveDialog;

    // The open dialog's filter of its last confirmed use (1 raw LPCM, 2 WAVE, 3 DVD video, 4 DVD disc).
    int openFilterIndex_ = 1;
    int32_t SampleRate_ = 0;
    // The output-format item: 0 is 16 bits.
    int formatIndex_ = 1;
    // What the user chose of the input named in `input`: a disc's title, stream, chapters and output
    // format, or a program stream's track. It applies while the input edit holds that name.
    struct TInputChoice {
        QString input;
        TSelection selection;
        const TOutputFormatRow* format = nullptr; // nullptr: by the output's name
        TLpcmPackingChoice packing = TLpcmPackingChoice::Auto;
    };
    std::optional<TInputChoice> choice_;
    // The kind of the input last taken, and the resolution of its chosen audio (0: not known); the
    // input-format items and the output-format item's caption follow them.
    const TInputKindRow* inputKind_ = nullptr;
    QString kindOf_; // the name they are of
    int sourceBits_ = 0;
    // The notes of the run under way, each once, shown together when it has ended.
    QStringList runNotes_;
    // A disc's or program stream's own rate, shown in the disabled rate box (0: the box is the user's), and
    // what the box held before.
    int streamRate_ = 0;
    QString userRateText_;
    // The run under way, of whichever kind the input is.
    TRunControl* run_ = nullptr;
    // The window was closed during a run: it closes when the run has ended.
    bool closeRequested_ = false;
    // The frame size the window was last centred with; a window manager adds its frame after showing.
    QSize centredFrame_;
    TEventPump pump_;
};
