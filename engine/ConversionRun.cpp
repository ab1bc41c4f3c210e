#include "engine/ConversionRun.h"

#include "engine/OutputHeader.h"
#include "wave/WaveOpeners.h"
#include "wave/WaveScanner.h"

#include <algorithm>
#include <exception>

namespace {

// A scan that walks this many chunks is not an ordinary file: from then on it shows STOP!.
constexpr int64_t kChunksBeforeStopButton = 1 << 16;

} // namespace

TRunResult TConversionRun::Execute() {
    groupsWritten_ = 0;
    outcome_.Begin();
    phase_ = Phase::Preparing;
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
        (this->*(dither_ ? ditherGroups_ : convertGroups_))();
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
    inputName_ = host_.InputName();
    outputName_ = host_.OutputName();
    bool overwriteAgreed = false;
    if (!CheckNames(inputName_, outputName_, overwriteAgreed) || !OpenInput() || !ScanInput() ||
        !CountGroups() || !CheckLimits() || !CreateOutput(overwriteAgreed))
        return false;
    BuildHeader();
    host_.SetBusy(true);
    return true;
}

bool TConversionRun::OpenInput() {
    InFile_ = TRunControl::OpenInput(inputName_);
    if (!InFile_)
        return false;
    InFile_->SetBufferSize(kBufferSize);
    return true;
}

// Finds where the samples begin. A file that makes the scan walk long (a huge file of empty chunks) keeps
// the host live and can be stopped; a stop here ends the run before any output exists.
bool TConversionRun::ScanInput() {
    int64_t chunks = 0;
    bool stopShown = false;
    phase_ = Phase::Scanning;
    const auto keepScanning = [&] {
        if (++chunks == kChunksBeforeStopButton) {
            host_.SetBusy(true);
            host_.ShowStopButton(true);
            stopShown = true;
        }
        host_.ProcessPendingEvents();
        return outcome_.Running();
    };
    bool readFailed = false;
    DataOffset_ = FindWaveData(*InFile_, InInfo_, readFailed, keepScanning);
    phase_ = Phase::Preparing;
    if (stopShown) {
        host_.ShowStopButton(false);
        host_.SetBusy(false);
    }
    if (!outcome_.Running()) {
        // Ignore has nothing to keep yet: any stop ends the run here.
        outcome_.Interrupt();
        return false;
    }
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
    host_.SetGaugeMinimum(0);
    host_.SetGaugeProgress(0);
    host_.SetGaugeMaximum(GroupCount_);
    InFile_->SeekTo(DataOffset_);
    return true;
}

// What a RIFF header can describe. Checked before the output is created, so that a refusal here leaves
// any existing file as it was.
bool TConversionRun::CheckLimits() {
    // An output that may become RF64 has no limit to check.
    rf64_ = host_.WriteRf64();
    if (rf64_)
        return outcome_.Running();
    if (host_.FormatIndex() != 0 && GroupCount_ > kMaxGroups24) {
        if (!host_.Confirm(msg::kFallbackTo16)) {
            outcome_.Refuse();
            return false;
        }
        host_.ResetFormatIndex();
    }
    if (host_.FormatIndex() == 0 && GroupCount_ > kMaxGroups16) {
        ShowError(msg::kTooManyFor16);
        outcome_.Refuse();
        return false;
    }
    return outcome_.Running();
}

bool TConversionRun::CreateOutput(bool overwriteAgreed) {
    if (!OutFile_.Create(host_, outputName_, overwriteAgreed, outcome_))
        return false;
    OutFile_.File().SetBufferSize(kBufferSize);
    return true;
}

void TConversionRun::BuildHeader() {
    SampleRate_ = host_.SampleRate();
    OutHeader_ = BuildWaveHeader(SampleRate_, host_.FormatIndex(), static_cast<uint32_t>(GroupCount_));
    const bool sixteenBits = EffectiveFormat(host_.FormatIndex()) == 0;
    rf64Format_ =
        TWaveFormat{2, static_cast<uint32_t>(SampleRate_), static_cast<uint16_t>(sixteenBits ? 16 : 20),
                    static_cast<uint16_t>(sixteenBits ? 2 : 3)};
    dither_ = sixteenBits && host_.DitherTo16();
}

// The header goes out with its sizes 0, so that an output cut short by a crash or a kill claims no samples
// it does not hold; the sizes follow when it is kept. Its write result is not examined: the buffer takes
// it, and a failure shows at the first group.
void TConversionRun::WriteProvisionalHeader() {
    if (rf64_) {
        const std::vector<uint8_t> header = ProvisionalWaveHeader(rf64Format_);
        OutFile_.File().Write(header.data(), static_cast<int32_t>(header.size()));
        return;
    }
    TWaveHeader pending = OutHeader_;
    SetWaveDataSize(pending, 0);
    pending.RiffSize = 0;
    OutFile_.File().Write(&pending, kWaveHeaderBytes);
}

// The sizes of the groups actually written: for a complete run the header as it was built.
bool TConversionRun::WriteFinalSizes(TMMIOFile& output) {
    if (rf64_)
        return FinishWaveFile(output, rf64Format_, groupsWritten_ * rf64Format_.BlockAlign() * 2);
    const auto bytes = static_cast<uint32_t>(groupsWritten_ * OutHeader_.BlockAlign * OutHeader_.Channels);
    SetWaveDataSize(OutHeader_, bytes);
    constexpr auto kSizeBytes = static_cast<int32_t>(sizeof OutHeader_.RiffSize);
    return output.SeekTo(kRiffSizeOffset) == kRiffSizeOffset &&
           output.Write(&OutHeader_.RiffSize, kSizeBytes) == kSizeBytes &&
           output.SeekTo(kDataSizeOffset) == kDataSizeOffset &&
           output.Write(&OutHeader_.DataSize, kSizeBytes) == kSizeBytes;
}

void TConversionRun::CleanUp() {
    phase_ = Phase::CleaningUp;
    host_.ShowStopButton(false);
    const std::exception_ptr closeError =
        OutFile_.Finish(host_, outcome_, [this](TMMIOFile& output) { return WriteFinalSizes(output); });
    try {
        InFile_->Close();
    } catch (const EMMIOError&) {
        // Nothing is written to the input, so its close has nothing to lose.
    }
    InFile_.reset();
    host_.SetBusy(false);
    phase_ = Phase::Idle;
    if (closeError)
        std::rethrow_exception(closeError);
}
