#include "run/ConversionRun.h"

#include "engine/OutputHeader.h"
#include "wave/WaveScanner.h"

#include <algorithm>
#include <exception>

TRunResult TConversionRun::Execute() {
    GroupsWritten_ = 0;
    bool prepared = false;
    try {
        prepared = Prepare();
    } catch (...) {
        ReleaseFiles();
        throw;
    }
    if (!prepared) {
        ReleaseFiles();
        return outcome_.Result();
    }

    // From here on the clean-up always runs.
    WriteProvisionalHeader();
    try {
        host_.ShowStopButton(true);
        (this->*(Dither_ ? DitherGroups_ : ConvertGroups_))();
    } catch (const std::exception& error) {
        ShowError(error.what());
        outcome_.Fail();
    }
    CleanUp();
    return outcome_.Result();
}

// A run that ends before converting gives up whatever it opened, nothing written.
void TConversionRun::ReleaseFiles() {
    InFile_.reset();
    OutFile_.Release();
    phase_ = Phase::Idle;
}

// The checks and the set-up, in their order. False when the run ends here; the outcome says how.
bool TConversionRun::Prepare() {
    InputName_ = Request_.input;
    OutputName_ = Request_.output;
    FormatIndex_ = Request_.resolution == TResolution::Reduced16 ? 0 : 1;
    bool overwriteAgreed = false;
    if (!StartRun(InputName_, OutputName_, overwriteAgreed) || !OpenInput() || !ScanInput() ||
        !CountGroups() || !CheckLimits() || !CreateOutput(overwriteAgreed))
        return false;
    BuildHeader();
    host_.SetBusy(true);
    return true;
}

bool TConversionRun::OpenInput() {
    InFile_ = TRunControl::OpenInput(InputName_);
    if (!InFile_)
        return false;
    InFile_->SetBufferSize(kBufferSize);
    return true;
}

// Finds where the samples begin. A file that makes the scan walk long (a huge file of empty chunks) keeps
// the host live and can be stopped; a stop here ends the run before any output exists.
bool TConversionRun::ScanInput() {
    BeginScan();
    bool readFailed = false;
    DataOffset_ = FindWaveData(*InFile_, InInfo_, readFailed, [this] { return ScanStep(); });
    if (!EndScan())
        return false;
    if (readFailed) {
        // Taken for raw input, a WAVE file would be converted wrongly and without a word.
        ShowError(msg::kReadFailed);
        outcome_.Fail();
        return false;
    }
    RawInput_ = DataOffset_ == 0;
    InFile_->Rewind();
    InFile_->SeekBy(DataOffset_);
    return true;
}

bool TConversionRun::CountGroups() {
    InFile_->SeekToEnd();
    const int64_t size = InFile_->Position();
    GroupCount_ = std::max<int64_t>(0, (size - DataOffset_) / kGroupBytes);
    ResetGauge(GroupCount_);
    InFile_->SeekTo(DataOffset_);
    return true;
}

namespace {

// The output format of a format index: stereo at 16 bits, or 20 valid bits in 3-byte containers.
TAudioFormat StereoFormat(int32_t sampleRate, int formatIndex) {
    const bool sixteenBits = EffectiveFormat(formatIndex) == 0;
    return TAudioFormat{2, static_cast<uint32_t>(sampleRate), static_cast<uint16_t>(sixteenBits ? 16 : 20),
                        static_cast<uint16_t>(sixteenBits ? 2 : 3), 0};
}

} // namespace

// What the chosen sink's header can describe. Checked before the output is created, so that a refusal here
// leaves any existing file as it was.
bool TConversionRun::CheckLimits() {
    const TOutputFormatRow& format = FormatOf(Request_);
    Sink_ = Request_.options.makeSink
                ? Request_.options.makeSink()
                : format.makeSink(SinkSettingsOf(Request_, !Request_.options.rf64), Request_.metadata);
    ThroughSink_ = !Sink_->SamplesGoStraightToFile();
    NoteTagsLeftOut(Request_, !Request_.options.rf64);
    // A group is two sample times.
    const auto fits = [this](int formatIndex) {
        return GroupCount_ <= Sink_->FrameLimit(StereoFormat(Request_.sampleRate, formatIndex)) / 2;
    };
    if (FormatIndex_ != 0 && !fits(FormatIndex_)) {
        if (!host_.AcceptFallbackTo16(msg::kFallbackTo16)) {
            outcome_.Refuse();
            return false;
        }
        FormatIndex_ = 0;
    }
    if (FormatIndex_ == 0 && !fits(0))
        return Refuse(msg::kTooManyFor16);
    return outcome_.Running();
}

bool TConversionRun::CreateOutput(bool overwriteAgreed) {
    if (!OutFile_.Create(host_, OutputName_, overwriteAgreed, outcome_))
        return false;
    OutFile_.File().SetBufferSize(kBufferSize);
    return true;
}

// The output's format from the rate and the format item as they now stand; the input's own format plays
// no part.
void TConversionRun::BuildHeader() {
    SampleRate_ = Request_.sampleRate;
    Format_ = StereoFormat(SampleRate_, FormatIndex_);
    Dither_ = Format_.validBits == 16 && Request_.options.dither;
}

// The header goes out with its sizes 0, so that an output cut short by a crash or a kill claims no samples
// it does not hold; the sizes follow when it is kept. Its write result is not examined: the buffer takes
// it, and a failure shows at the first group.
void TConversionRun::WriteProvisionalHeader() {
    OutFile_.Begin(std::move(Sink_), Format_);
}

void TConversionRun::CleanUp() {
    phase_ = Phase::CleaningUp;
    host_.ShowStopButton(false);
    // The sizes of the groups actually written: for a complete run the header as it was built.
    const std::exception_ptr closeError =
        OutFile_.Finish(host_, outcome_, GroupsWritten_ * Format_.BlockAlign() * 2);
    CloseQuietly(*InFile_);
    InFile_.reset();
    EndRun(closeError);
}
